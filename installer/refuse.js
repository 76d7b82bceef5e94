// Immediate custom action, the one place where the installer refuses: it
// shows SELVANE_REFUSAL (on screen with a user interface, and in the log) and
// stops the install before anything is written. The actions that set the
// text decide when.
function Refuse() {
  var messageTypeError = 0x01000000, iconError = 0x10, idAbort = 3;
  var record = Session.Installer.CreateRecord(0);
  record.StringData(0) = Session.Property("SELVANE_REFUSAL");
  Session.Message(messageTypeError | iconError, record);
  return idAbort;
}
