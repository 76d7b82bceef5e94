// Immediate custom actions for the network libraries. They take the names of
// the maker's interface libraries (DMX60.dll, DMX120.dll, DMX510.dll) beside
// the plug-in; ours export SelvaneNetworkStatus, the maker's do not. A
// library of the maker's is never replaced or removed.

var libraries = [
  { name: "DMX60.dll", folder: "NETWORKDMX60DIR" },
  { name: "DMX120.dll", folder: "NETWORKDMX120DIR" },
  { name: "DMX510.dll", folder: "NETWORKDMX510DIR" }
];
var ourExport = "SelvaneNetworkStatus";
// Earlier packages installed the example as the settings file itself.
var settingsName = "Selvane.network.ini";
var forReading = 1, asAnsi = 0;
var idOk = 1;

function installFolder() {
  var folder = Session.Property("INSTALLDIR");
  if (folder === "") return "";
  return /\\$/.test(folder) ? folder : folder + "\\";
}

// The export's name is plain text in the file, and reading the file as ANSI
// text keeps every byte.
function isOurs(files, path) {
  var stream = files.OpenTextFile(path, forReading, false, asAnsi);
  var text = stream.AtEndOfStream ? "" : stream.ReadAll();
  stream.Close();
  return text.indexOf(ourExport) >= 0;
}

// Before CostFinalize, with INSTALLDIR set. Sets SELVANE_FOREIGN_LIBRARIES
// to the maker's libraries found there ("DMX60.dll, DMX120.dll") and
// SELVANE_OUR_LIBRARIES when ours are there (an upgrade keeps the network
// feature then). The component folder of a maker's library is pointed at a
// folder that does not exist, so that no install or removal touches the file.
function FindInterfaceLibraries() {
  var folder = installFolder();
  if (folder === "") return idOk;
  var files = new ActiveXObject("Scripting.FileSystemObject");
  var foreign = [];
  for (var i = 0; i < libraries.length; i++) {
    var path = folder + libraries[i].name;
    if (!files.FileExists(path)) continue;
    if (isOurs(files, path)) {
      Session.Property("SELVANE_OUR_LIBRARIES") = "1";
      continue;
    }
    foreign.push(libraries[i].name);
    Session.Property(libraries[i].folder) = folder + "Selvane-nicht-installiert\\";
  }
  Session.Property("SELVANE_FOREIGN_LIBRARIES") = foreign.join(", ");
  return idOk;
}

// Around the removal of an older version during an upgrade. An earlier
// package removes with itself the user's edited settings file, which it had
// installed as the example, and whatever library is at its libraries' names,
// even a maker's library that the user put there: each is kept as a copy and
// put back when the removal took it.
var keptSuffix = ".upgrade";

function userFiles() {
  var names = [settingsName];
  var foreign = Session.Property("SELVANE_FOREIGN_LIBRARIES");
  return foreign === "" ? names : names.concat(foreign.split(", "));
}

function KeepUserFiles() {
  var folder = installFolder();
  if (folder === "") return idOk;
  var files = new ActiveXObject("Scripting.FileSystemObject");
  var names = userFiles();
  for (var i = 0; i < names.length; i++) {
    if (files.FileExists(folder + names[i]))
      files.CopyFile(folder + names[i], folder + names[i] + keptSuffix, true);
  }
  return idOk;
}

function RestoreUserFiles() {
  var folder = installFolder();
  if (folder === "") return idOk;
  var files = new ActiveXObject("Scripting.FileSystemObject");
  var names = userFiles();
  for (var i = 0; i < names.length; i++) {
    var path = folder + names[i];
    if (!files.FileExists(path + keptSuffix)) continue;
    if (files.FileExists(path))
      files.DeleteFile(path + keptSuffix);
    else
      files.MoveFile(path + keptSuffix, path);
  }
  return idOk;
}
