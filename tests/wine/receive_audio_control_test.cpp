// The receive control's remaining container interfaces (identity across all of them is checked
// for every control in controls_test.cpp): connection points, storage persistence, quick
// activation and the small fixed answers.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>
#include <objsafe.h>

#include <string>

#include "ZubAudioR.h"
#include "dll_loader.h"

namespace {

// A container's sink for everything it may hand the control: client site, property change
// sink and event sink (a dispatch interface answering the control's event IID).
class Sink : public IOleClientSite, public IPropertyNotifySink, public IDispatch, public IAdviseSink {
 public:
  virtual ~Sink() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = static_cast<IPropertyNotifySink*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID__IReceiveAudioEvents)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IAdviseSink)) {
      *out = static_cast<IAdviseSink*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IPropertyNotifySink
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  // IAdviseSink
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override {}

  ULONG refs = 1;
};

template <typename T>
T* Query(IUnknown* unknown, REFIID iid) {
  T* out = nullptr;
  EXPECT_HRESULT_SUCCEEDED(unknown->QueryInterface(iid, reinterpret_cast<void**>(&out)));
  return out;
}

class ControlTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&unknown_)));
  }
  void TearDown() override {
    if (unknown_ != nullptr) {
      EXPECT_EQ(unknown_->Release(), 0u);
    }
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK) << "every object, enumerators included, has ended";
    EXPECT_EQ(sink_.refs, 1u) << "the control let go of every sink reference";
    OleUninitialize();
  }

  comtest::ZubAudioRDll dll_;
  IUnknown* unknown_ = nullptr;
  Sink sink_;
};

TEST_F(ControlTest, ConnectionPointsAdviseUnadviseAndEnumerate) {
  auto* container = Query<IConnectionPointContainer>(unknown_, IID_IConnectionPointContainer);
  ASSERT_NE(container, nullptr);
  IEnumConnectionPoints* points = nullptr;
  ASSERT_HRESULT_SUCCEEDED(container->EnumConnectionPoints(&points));
  IConnectionPoint* listed[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(3, listed, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) listed[i]->Release();
  points->Release();
  IConnectionPoint* none = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IAdviseSink, &none), CONNECT_E_NOCONNECTION);

  const IID* const sinks[] = {&DIID__IReceiveAudioEvents, &IID_IPropertyNotifySink};
  for (std::size_t i = 0; i < std::size(sinks); ++i) {
    SCOPED_TRACE(i);
    IConnectionPoint* point = nullptr;
    ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(*sinks[i], &point));
    IID iid = {};
    ASSERT_HRESULT_SUCCEEDED(point->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(iid, *sinks[i]));
    IConnectionPointContainer* back = nullptr;
    ASSERT_HRESULT_SUCCEEDED(point->GetConnectionPointContainer(&back));
    EXPECT_EQ(back, container);
    back->Release();

    DWORD first = 0, second = 0;
    ASSERT_HRESULT_SUCCEEDED(point->Advise(static_cast<IOleClientSite*>(&sink_), &first));
    ASSERT_HRESULT_SUCCEEDED(point->Advise(static_cast<IOleClientSite*>(&sink_), &second));
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    ASSERT_HRESULT_SUCCEEDED(point->Unadvise(first));
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);

    IEnumConnections* connections = nullptr;
    ASSERT_HRESULT_SUCCEEDED(point->EnumConnections(&connections));
    CONNECTDATA data[2] = {};
    fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].dwCookie, second);
    data[0].pUnk->Release();
    connections->Release();

    ASSERT_HRESULT_SUCCEEDED(point->Unadvise(second));
    point->Release();
  }
  container->Release();
}

TEST_F(ControlTest, StorageRoundTripKeepsTheProperties) {
  ILockBytes* bytes = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes));
  IStorage* storage = nullptr;
  ASSERT_HRESULT_SUCCEEDED(StgCreateDocfileOnILockBytes(
      bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage));

  auto* control = Query<IReceiveAudio>(unknown_, IID_IReceiveAudio);
  ASSERT_HRESULT_SUCCEEDED(control->put_Port(8123));
  ASSERT_HRESULT_SUCCEEDED(control->put_Volume(55));
  auto* persist = Query<IPersistStorage>(unknown_, IID_IPersistStorage);
  CLSID clsid = {};
  ASSERT_HRESULT_SUCCEEDED(persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ReceiveAudio));
  ASSERT_HRESULT_SUCCEEDED(persist->Save(storage, FALSE));
  ASSERT_HRESULT_SUCCEEDED(persist->SaveCompleted(nullptr));
  ASSERT_HRESULT_SUCCEEDED(persist->HandsOffStorage());
  persist->Release();
  control->Release();

  IUnknown* other = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&other)));
  persist = Query<IPersistStorage>(other, IID_IPersistStorage);
  ASSERT_HRESULT_SUCCEEDED(persist->Load(storage));
  control = Query<IReceiveAudio>(other, IID_IReceiveAudio);
  LONG port = 0, volume = 0;
  ASSERT_HRESULT_SUCCEEDED(control->get_Port(&port));
  ASSERT_HRESULT_SUCCEEDED(control->get_Volume(&volume));
  EXPECT_EQ(port, 8123);
  EXPECT_EQ(volume, 55);
  control->Release();

  IStorage* empty = nullptr;
  ASSERT_HRESULT_SUCCEEDED(storage->CreateStorage(L"empty", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                                  0, 0, &empty));
  EXPECT_HRESULT_SUCCEEDED(persist->InitNew(empty));
  EXPECT_HRESULT_FAILED(persist->Load(empty)) << "a storage without the control's stream";
  empty->Release();
  persist->Release();
  other->Release();
  storage->Release();
  bytes->Release();
}

TEST_F(ControlTest, QuickActivateTakesTheContainersSinksAndSite) {
  auto* quick = Query<IQuickActivate>(unknown_, IID_IQuickActivate);
  ASSERT_NE(quick, nullptr);
  QACONTAINER container = {};
  container.cbSize = sizeof container;
  container.pClientSite = &sink_;
  container.pPropertyNotifySink = &sink_;
  container.pUnkEventSink = static_cast<IDispatch*>(&sink_);
  QACONTROL control = {};
  control.cbSize = sizeof control;
  ASSERT_HRESULT_SUCCEEDED(quick->QuickActivate(&container, &control));
  EXPECT_EQ(control.dwMiscStatus, 131473u);
  EXPECT_NE(control.dwEventCookie, 0u);
  EXPECT_NE(control.dwPropNotifyCookie, 0u);

  SIZEL size = {1000, 500};
  ASSERT_HRESULT_SUCCEEDED(quick->SetContentExtent(&size));
  SIZEL got = {};
  ASSERT_HRESULT_SUCCEEDED(quick->GetContentExtent(&got));
  EXPECT_EQ(got.cx, 1000);
  EXPECT_EQ(got.cy, 500);

  auto* object = Query<IOleObject>(unknown_, IID_IOleObject);
  IOleClientSite* site = nullptr;
  ASSERT_HRESULT_SUCCEEDED(object->GetClientSite(&site));
  EXPECT_EQ(site, static_cast<IOleClientSite*>(&sink_));
  site->Release();
  ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(nullptr));
  object->Release();

  auto* points = Query<IConnectionPointContainer>(unknown_, IID_IConnectionPointContainer);
  const std::pair<const IID*, DWORD> cookies[] = {{&DIID__IReceiveAudioEvents, control.dwEventCookie},
                                                 {&IID_IPropertyNotifySink, control.dwPropNotifyCookie}};
  for (const auto& [iid, cookie] : cookies) {
    IConnectionPoint* point = nullptr;
    ASSERT_HRESULT_SUCCEEDED(points->FindConnectionPoint(*iid, &point));
    EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
    point->Release();
  }
  points->Release();
  quick->Release();
}

TEST_F(ControlTest, FixedAnswersOfAControlThatDrawsNothing) {
  auto* pages = Query<ISpecifyPropertyPages>(unknown_, IID_ISpecifyPropertyPages);
  CAUUID uuids = {5, reinterpret_cast<GUID*>(1)};
  ASSERT_HRESULT_SUCCEEDED(pages->GetPages(&uuids));
  EXPECT_EQ(uuids.cElems, 0u);
  EXPECT_EQ(uuids.pElems, nullptr);
  pages->Release();

  auto* errors = Query<ISupportErrorInfo>(unknown_, IID_ISupportErrorInfo);
  const std::pair<const IID*, HRESULT> error_rows[] = {
      {&IID_IReceiveAudio, S_OK}, {&IID_IDispatch, S_FALSE}, {&IID_IOleObject, S_FALSE}};
  for (const auto& [iid, want] : error_rows) EXPECT_EQ(errors->InterfaceSupportsErrorInfo(*iid), want);
  errors->Release();

  auto* ole_control = Query<IOleControl>(unknown_, IID_IOleControl);
  CONTROLINFO info = {};
  info.cb = sizeof info;
  ASSERT_HRESULT_SUCCEEDED(ole_control->GetControlInfo(&info));
  EXPECT_EQ(info.cAccel, 0);
  EXPECT_EQ(info.hAccel, nullptr);
  EXPECT_EQ(ole_control->OnAmbientPropertyChange(DISPID_UNKNOWN), S_OK);
  EXPECT_EQ(ole_control->FreezeEvents(TRUE), S_OK);
  EXPECT_EQ(ole_control->FreezeEvents(FALSE), S_OK);
  ole_control->Release();

  auto* active = Query<IOleInPlaceActiveObject>(unknown_, IID_IOleInPlaceActiveObject);
  MSG msg = {};
  EXPECT_EQ(active->TranslateAccelerator(&msg), S_FALSE);
  EXPECT_EQ(active->OnFrameWindowActivate(TRUE), S_OK);
  EXPECT_EQ(active->OnDocWindowActivate(TRUE), S_OK);
  EXPECT_EQ(active->EnableModeless(TRUE), S_OK);
  EXPECT_EQ(active->ContextSensitiveHelp(TRUE), E_NOTIMPL);
  active->Release();

  auto* windowless = Query<IOleInPlaceObjectWindowless>(unknown_, IID_IOleInPlaceObjectWindowless);
  LRESULT result = 1;
  EXPECT_EQ(windowless->OnWindowMessage(WM_MOUSEMOVE, 0, 0, &result), S_FALSE);
  IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
  EXPECT_EQ(windowless->GetDropTarget(&drop), E_NOTIMPL);
  EXPECT_EQ(drop, nullptr);
  windowless->Release();

  auto* data = Query<IDataObject>(unknown_, IID_IDataObject);
  FORMATETC format = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  EXPECT_EQ(data->GetData(&format, &medium), E_NOTIMPL);
  DWORD cookie = 1;
  EXPECT_EQ(data->DAdvise(&format, 0, nullptr, &cookie), OLE_E_ADVISENOTSUPPORTED);
  data->Release();

  auto* view = Query<IViewObjectEx>(unknown_, IID_IViewObjectEx);
  const RECT bounds = {0, 0, 100, 50};
  const struct {
    POINT point;
    DWORD want;
  } hits[] = {{{10, 10}, HITRESULT_HIT}, {{99, 49}, HITRESULT_HIT}, {{150, 10}, HITRESULT_OUTSIDE}};
  for (const auto& row : hits) {
    DWORD hit = 99;
    ASSERT_HRESULT_SUCCEEDED(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, row.point, 0, &hit));
    EXPECT_EQ(hit, row.want);
  }
  const RECT inside = {50, 20, 200, 300};
  DWORD hit = 0;
  ASSERT_HRESULT_SUCCEEDED(view->QueryHitRect(DVASPECT_CONTENT, &bounds, &inside, 0, &hit));
  EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_HIT));
  RECTL rect = {};
  EXPECT_EQ(view->GetRect(DVASPECT_CONTENT, &rect), E_NOTIMPL);
  DWORD status = 99;
  ASSERT_HRESULT_SUCCEEDED(view->GetViewStatus(&status));
  EXPECT_EQ(status, 0u);
  SIZEL extent = {};
  ASSERT_HRESULT_SUCCEEDED(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent));
  EXPECT_EQ(extent.cx, 2540);
  const RECTL draw_bounds = {0, 0, 100, 50};
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &draw_bounds, nullptr, nullptr, 0),
            S_OK);
  DeleteDC(dc);

  ASSERT_HRESULT_SUCCEEDED(view->SetAdvise(DVASPECT_CONTENT, ADVF_PRIMEFIRST, &sink_));
  DWORD aspects = 0, advf = 0;
  IAdviseSink* advised = nullptr;
  ASSERT_HRESULT_SUCCEEDED(view->GetAdvise(&aspects, &advf, &advised));
  EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
  EXPECT_EQ(advf, static_cast<DWORD>(ADVF_PRIMEFIRST));
  EXPECT_EQ(advised, static_cast<IAdviseSink*>(&sink_));
  advised->Release();
  ASSERT_HRESULT_SUCCEEDED(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr));
  ASSERT_HRESULT_SUCCEEDED(view->GetAdvise(nullptr, nullptr, &advised));
  EXPECT_EQ(advised, nullptr);
  view->Release();
}

}  // namespace
