// The control's connection points (its default source interface and IPropertyNotifySink) and
// the delivery of its events to the page.
#include <vector>

#include "com/control/object.h"
#include "com/control_window.h"
#include "com/persist.h"

namespace com {

namespace {

HRESULT STDMETHODCALLTYPE Points_EnumConnectionPoints(IConnectionPointContainer* iface,
                                                      IEnumConnectionPoints** out) {
  return EnumConnectionPoints(impl_from(iface)->points, out);
}

HRESULT STDMETHODCALLTYPE Points_FindConnectionPoint(IConnectionPointContainer* iface, REFIID iid,
                                                     IConnectionPoint** out) {
  return FindConnectionPoint(impl_from(iface)->points, iid, out);
}

// Calls every sink of the default source point, on the object's thread. A sink may let go of
// the control from its handler, so the object is held while they run.
void FireNow(ControlObject* This, std::int32_t dispid, std::span<const automation::Value> args) {
  std::vector<VARIANT> variants(args.size());
  // rgvarg holds the arguments last first.
  for (std::size_t i = 0; i < args.size(); ++i) ValueToVariant(args[i], &variants[args.size() - 1 - i]);
  DISPPARAMS params = {variants.empty() ? nullptr : variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
  IUnknown_AddRef(This->outer);
  for (IUnknown* sink : SnapshotSinks(This->EventPoint())) {
    VARIANT result;
    VariantInit(&result);
    IDispatch_Invoke(reinterpret_cast<IDispatch*>(sink), dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                     &params, &result, nullptr, nullptr);
    VariantClear(&result);
    IUnknown_Release(sink);
  }
  IUnknown_Release(This->outer);
  for (VARIANT& v : variants) VariantClear(&v);
}

}  // namespace

void EventRelay::Fire(std::int32_t dispid, std::span<const automation::Value> args) {
  if (GetCurrentThreadId() == owner_->thread) {
    FireNow(owner_, dispid, args);
    return;
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (window_ == nullptr) return;  // no window to hand it to: dropped
  queue_.push_back({dispid, std::vector<automation::Value>(args.begin(), args.end())});
  // One wake-up per batch: the window takes everything queued when it runs.
  if (queue_.size() == 1) PostQueuedEventsMessage(window_);
}

void EventRelay::SetWindow(HWND window) {
  std::lock_guard<std::mutex> hold(lock_);
  window_ = window;
  if (window == nullptr) queue_.clear();
}

void EventRelay::FireQueued() {
  std::deque<Queued> batch;
  {
    std::lock_guard<std::mutex> hold(lock_);
    batch.swap(queue_);
  }
  for (const Queued& e : batch) FireNow(owner_, e.dispid, e.args);
}

const IConnectionPointContainerVtbl kConnectionPointContainerVtbl = {
    Forward_QueryInterface<IConnectionPointContainer>,
    Forward_AddRef<IConnectionPointContainer>,
    Forward_Release<IConnectionPointContainer>,
    Points_EnumConnectionPoints,
    Points_FindConnectionPoint,
};

}  // namespace com
