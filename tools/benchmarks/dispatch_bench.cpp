// Cost of one SetChannel call as hosts make it, side by side in one process:
// through the vtable, through our IDispatch fast path with integers and with
// a script's variables (by-reference variants), and through the plain
// type-library Invoke that a standard automation server would use.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>

#include "bench_table.h"
#include "dispids.h"
#include "plugin_module.h"
#include "variant_builders.h"

using Microsoft::WRL::ComPtr;

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::atoi(argv[1]) : 200000;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<_clsOutputDriver> driver;
  if (FAILED(PluginModule::Get().Create(driver))) {
    std::fprintf(stderr, "cannot load Selvane.out.dll\n");
    return 1;
  }
  ComPtr<ITypeInfo> info;
  if (FAILED(driver->GetTypeInfo(0, 0, &info))) return 1;

  const DISPID setChannel = selvane::kDispidSetChannel;
  VARIANT_BOOL stored;
  const double vtable = BenchNsPerCall(calls, [&](int i) {
    LONG channel = 1 + i % 509, value = i & 0xFF;
    driver->SetChannel(&channel, &value, &stored);
  });

  // Arguments are built once per row and only their values change from call
  // to call, as a host or a script engine does with its variables: each row
  // times the call, not the building of variants.
  VARIANT channelVariable = I4(0), valueVariable = I4(0);
  auto invokeWith = [&](VARIANT valueArg, VARIANT channelArg, auto&& invoke) {
    VARIANT args[2] = {valueArg, channelArg};
    const bool byValue = V_VT(&args[0]) == VT_I4;
    LONG& channel = V_I4(byValue ? &args[1] : &channelVariable);
    LONG& value = V_I4(byValue ? &args[0] : &valueVariable);
    DISPPARAMS params{args, nullptr, 2, 0};
    return BenchNsPerCall(calls, [&](int i) {
      channel = 1 + i % 509;
      value = i & 0xFF;
      VARIANT result;
      V_VT(&result) = VT_EMPTY;
      invoke(&params, &result);
    });
  };
  auto ours = [&](DISPPARAMS* params, VARIANT* result) {
    driver->Invoke(setChannel, IID_NULL, 0, DISPATCH_METHOD, params, result, nullptr, nullptr);
  };
  auto standard = [&](DISPPARAMS* params, VARIANT* result) {
    info->Invoke(driver.Get(), setChannel, DISPATCH_METHOD, params, result, nullptr, nullptr);
  };
  const double fast = invokeWith(I4(0), I4(0), ours);
  const double general = invokeWith(VariantRef(&valueVariable), VariantRef(&channelVariable), ours);
  const double typelib = invokeWith(I4(0), I4(0), standard);
  const double name = BenchNsPerCall(calls / 4, [&](int) {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    driver->Invoke(selvane::kDispidPluginName, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
    VariantClear(&result);
  });

  BenchRow("SetChannel via the vtable", vtable, "ns/call");
  BenchRow("SetChannel via IDispatch, fast path (VT_I4)", fast, "ns/call");
  BenchRow("SetChannel via IDispatch, script variables (byref)", general, "ns/call");
  BenchRow("SetChannel via the standard typelib Invoke (VT_I4)", typelib, "ns/call");
  BenchRow("fast path speed-up over the standard typelib Invoke", typelib / fast, "x");
  BenchRow("PluginName via IDispatch", name, "ns/call");
  driver.Reset();
  CoUninitialize();
  return 0;
}
