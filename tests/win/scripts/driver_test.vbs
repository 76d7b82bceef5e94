' The output driver from VBScript, as a scripted host uses it: literals and
' variables (which VBScript passes by reference), results and error numbers.
Option Explicit
Dim o, c, v, t, f, failures
failures = 0

Sub Check(condition, what)
  If Not condition Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Set o = CreateObject("Selvane.clsOutputDriver")
Check o.PluginName() = "Selvane DMX-60; DMX-120; DMX-510USB", "PluginName"

t = "Selvane vbs Test"
f = "Selvane.out.dll"
Check o.Init(t, f) = False, "Init with variables"
Check o.Init("Selvane vbs Test", "Selvane.out.dll") = False, "Init with literals"

Check o.SetChannel(3, 128) = True, "SetChannel with literals"
c = 5 : v = 200
Check o.SetChannel(c, v) = True, "SetChannel with variables"
o.SetChannel c, v
Check c = 5 And v = 200, "variables are left as they were"
c = 600 : v = 300
Check o.SetChannel(c, v) = False, "channel 600 is ignored before the value is checked"

On Error Resume Next
Err.Clear
o.SetChannel 3, 300
Check Err.Number = 6, "value 300 gives error 6, got " & Err.Number
Check Err.Source = "Selvane.clsOutputDriver", "error source, got " & Err.Source
Err.Clear
c = 0 : v = 300
o.SetChannel c, v
Check Err.Number = 9, "channel 0 gives error 9, got " & Err.Number
Err.Clear
c = 10 : v = -1
o.SetChannel c, v
Check Err.Number = 6, "value -1 gives error 6, got " & Err.Number
On Error GoTo 0

Check o.Enable() = False, "Enable returns False"
Check o.Disable() = True, "Disable returns True"
' The dialog is closed by the test's dialog driver, which picks DMX-120.
Check o.Configure() = False, "Configure returns False"
Check o.Term() = False, "Term returns False"

If failures = 0 Then WScript.Echo "ok"
WScript.Quit failures
