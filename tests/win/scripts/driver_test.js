// The output driver from JScript: literals, variables, results and errors.
var failures = 0;
function check(condition, what) {
  if (!condition) { WScript.Echo("FAIL: " + what); failures++; }
}
function errorNumber(f) {
  try { f(); } catch (e) { return e.number & 0xFFFF; }
  return 0;
}

var o = new ActiveXObject("Selvane.clsOutputDriver");
check(o.PluginName() == "Selvane DMX-60; DMX-120; DMX-510USB", "PluginName");
var t = "Selvane js Test", f = "Selvane.out.dll";
check(o.Init(t, f) === false, "Init with variables");
check(o.SetChannel(3, 128) === true, "SetChannel with literals");
var c = 5, v = 200;
check(o.SetChannel(c, v) === true, "SetChannel with variables");
check(o.SetChannel(600, 300) === false, "channel 600 is ignored");
check(errorNumber(function () { o.SetChannel(3, 300); }) == 6, "value 300 gives error 6");
check(errorNumber(function () { o.SetChannel(0, 300); }) == 9, "channel 0 gives error 9");
try { o.SetChannel(3, 300); } catch (e) {
  check(e.number == -2146828282, "the full number is 0x800A0006, got " + e.number);
}
check(o.Enable() === false, "Enable returns False");
check(o.Disable() === true, "Disable returns True");
check(o.Configure() === false, "Configure returns False");
check(o.Term() === false, "Term returns False");
if (failures == 0) WScript.Echo("ok");
WScript.Quit(failures);
