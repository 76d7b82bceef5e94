// Immediate custom action: the type library's HELPDIR is the plug-in's folder
// without a trailing backslash, as RegisterTypeLib writes it.
function SetTypeLibHelpDir() {
  var folder = Session.Property("INSTALLDIR");
  Session.Property("SELVANE_HELPDIR") = folder.replace(/\\+$/, "");
  return 1;  // IDOK
}
