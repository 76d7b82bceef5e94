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

  auto invokeWith = [&](auto&& makeArgs) {
    return [&, makeArgs](int i) {
      VARIANT args[2];
      VARIANT channel = I4(1 + i % 509), value = I4(i & 0xFF);
      makeArgs(args, channel, value);
      DISPPARAMS params{args, nullptr, 2, 0};
      VARIANT result;
      VariantInit(&result);
      driver->Invoke(setChannel, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    };
  };
  const double fast = BenchNsPerCall(calls, invokeWith([](VARIANT* args, VARIANT& c, VARIANT& v) {
    args[0] = v;
    args[1] = c;
  }));
  const double general = BenchNsPerCall(calls, invokeWith([](VARIANT* args, VARIANT& c, VARIANT& v) {
    args[0] = VariantRef(&v);
    args[1] = VariantRef(&c);
  }));
  const double typelib = BenchNsPerCall(calls, [&](int i) {
    VARIANT args[2] = {I4(i & 0xFF), I4(1 + i % 509)};
    DISPPARAMS params{args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    info->Invoke(driver.Get(), setChannel, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  });
  // The same call with its arguments kept in place and only their values
  // changing, as a host keeps its variables: the call alone, without the
  // building of variants that the rows above include.
  VARIANT kept[2] = {I4(0), I4(0)};
  DISPPARAMS keptParams{kept, nullptr, 2, 0};
  auto withKeptArguments = [&](auto&& invoke) {
    return BenchNsPerCall(calls, [&](int i) {
      V_I4(&kept[1]) = 1 + i % 509;
      V_I4(&kept[0]) = i & 0xFF;
      VARIANT result;
      V_VT(&result) = VT_EMPTY;
      invoke(&result);
    });
  };
  const double fastKept = withKeptArguments([&](VARIANT* result) {
    driver->Invoke(setChannel, IID_NULL, 0, DISPATCH_METHOD, &keptParams, result, nullptr, nullptr);
  });
  const double typelibKept = withKeptArguments([&](VARIANT* result) {
    info->Invoke(driver.Get(), setChannel, DISPATCH_METHOD, &keptParams, result, nullptr, nullptr);
  });
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
  BenchRow("SetChannel via IDispatch, fast path, arguments kept", fastKept, "ns/call");
  BenchRow("SetChannel via the standard Invoke, arguments kept", typelibKept, "ns/call");
  BenchRow("fast path speed-up, arguments kept", typelibKept / fastKept, "x");
  driver.Reset();
  CoUninitialize();
  return 0;
}
