// The player control as hosts meet it under Wine: registered with regsvr32 and created through COM,
// driven through IDispatch by name, its events received through the connection point from the
// message loop only, and its drawing into a memory device context equal to the core's own frame.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "framework/control_site.h"
#include "player/player.h"
#include "player_control/control_object.h"
#include "tools/swf/assembler.h"
#include "util/text.h"

namespace vorlo::control {
namespace {

// Three frames on a blue stage; frame 2 says "tick" through fscommand, frame 3 is labelled "end".
const char kMovie[] = R"(
movie version=6 size=100x75 rate=30
background #3366cc
shape 1 { fill solid #ff0000; rect 0 0 20px 20px fill0=1 }
place 1 id=1 at=10px,10px
actions { getURL "FSCommand:start" "1" }
show
place 1 move at=30px,10px
actions { getURL "FSCommand:tick" "2" }
show
label "end"
place 1 move at=50px,30px
show
)";

std::vector<uint8_t> movieBytes() {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(swfasm::assembleSwf(kMovie, bytes, error)) << error;
  return bytes;
}

std::string tempFolder() {
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, path);
  return fromWide(path);
}

std::string writeMovie(const std::string& name) {
  std::string path = tempFolder() + name;
  std::vector<uint8_t> bytes = movieBytes();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

VARIANT text(const std::string& s) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(toWide(s).c_str());
  return v;
}

VARIANT number(long n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

// Property reads as text ("" when the read fails), the way a script host sees them.
std::string get(IDispatch* d, const wchar_t* name) {
  VARIANT v;
  VariantInit(&v);
  std::string out = "(failed)";
  if (SUCCEEDED(fw::getProperty(d, name, &v))) {
    out = V_VT(&v) == VT_BOOL ? (V_BOOL(&v) ? "true" : "false") : "";
    if (V_VT(&v) != VT_BOOL && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR)) && V_BSTR(&v)) out = fromWide(V_BSTR(&v));
  }
  VariantClear(&v);
  return out;
}

void put(IDispatch* d, const wchar_t* name, VARIANT v) {
  EXPECT_EQ(fw::putProperty(d, name, v), S_OK) << fromWide(name);
  VariantClear(&v);
}

std::string call(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args = {}) {
  VARIANT r;
  VariantInit(&r);
  HRESULT hr = fw::callMethod(d, name, args, &r);
  for (VARIANT& a : args) VariantClear(&a);
  std::string out = FAILED(hr) ? "(failed)" : "";
  if (SUCCEEDED(hr) && V_VT(&r) == VT_BOOL) out = V_BOOL(&r) ? "true" : "false";
  else if (SUCCEEDED(hr) && V_VT(&r) != VT_EMPTY && SUCCEEDED(VariantChangeType(&r, &r, 0, VT_BSTR))) out = fromWide(V_BSTR(&r));
  VariantClear(&r);
  return out;
}

void pumpFor(DWORD millis) {
  DWORD end = GetTickCount() + millis;
  MSG msg;
  while (GetTickCount() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

// A host window with the built-in control in it.
class Hosted : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ControlTestHost";
    RegisterClassW(&wc);
    host_ = CreateWindowW(L"ControlTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                          wc.hInstance, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getControlClassObject(kControlClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(site_.create(factory, host_, 1113, RECT{0, 0, 200, 150}), S_OK);
    factory->Release();
    d_ = site_.dispatch();
  }
  void TearDown() override {
    site_.destroy();
    DestroyWindow(host_);
    OleUninitialize();
  }
  HWND host_ = nullptr;
  fw::ControlSite site_;
  IDispatch* d_ = nullptr;
};

TEST_F(Hosted, PropertiesAndMethodsThroughIDispatch) {
  ASSERT_NE(site_.controlWindow(), nullptr);
  EXPECT_EQ(GetDlgCtrlID(site_.controlWindow()), 1113);
  EXPECT_EQ(get(d_, L"FlashVersion"), "524288");
  EXPECT_EQ(get(d_, L"TotalFrames"), "0") << "no movie yet";

  // A movie relative to Base.
  std::string path = writeMovie("control-props.swf");
  put(d_, L"Base", text(tempFolder()));
  put(d_, L"Playing", number(0));
  put(d_, L"Movie", text("control-props.swf"));
  EXPECT_EQ(get(d_, L"Movie"), "control-props.swf");
  EXPECT_EQ(get(d_, L"TotalFrames"), "3");
  EXPECT_EQ(get(d_, L"ReadyState"), "4");
  EXPECT_EQ(call(d_, L"PercentLoaded"), "100");
  EXPECT_EQ(call(d_, L"FrameLoaded", {number(2)}), "true");
  EXPECT_EQ(call(d_, L"FrameLoaded", {number(3)}), "false");

  // The playhead, counted from 0 as hosts count.
  EXPECT_EQ(get(d_, L"FrameNum"), "0");
  call(d_, L"GotoFrame", {number(2)});
  EXPECT_EQ(call(d_, L"CurrentFrame"), "2");
  call(d_, L"Back");
  EXPECT_EQ(get(d_, L"FrameNum"), "1");
  call(d_, L"Rewind");
  EXPECT_EQ(call(d_, L"CurrentFrame"), "0");
  call(d_, L"Forward");
  EXPECT_EQ(call(d_, L"TCurrentFrame", {text("/")}), "1");
  call(d_, L"TGotoLabel", {text("_root"), text("end")});
  EXPECT_EQ(get(d_, L"FrameNum"), "2");
  call(d_, L"TGotoFrame", {text("_level0"), number(0)});
  EXPECT_EQ(get(d_, L"FrameNum"), "0");
  EXPECT_EQ(call(d_, L"TCurrentFrame", {text("/nothing")}), "-1");

  // Playing state.
  EXPECT_EQ(get(d_, L"Playing"), "false");
  call(d_, L"Play");
  EXPECT_EQ(call(d_, L"IsPlaying"), "true");
  call(d_, L"StopPlay");
  EXPECT_EQ(get(d_, L"Playing"), "false");
  call(d_, L"TPlay", {text("/")});
  EXPECT_EQ(get(d_, L"Playing"), "true");
  call(d_, L"TStopPlay", {text("/")});
  EXPECT_EQ(get(d_, L"Playing"), "false");

  // Settings: each read gives back what was written, in the forms the control has.
  struct Setting {
    const wchar_t* name;
    VARIANT value;
    const char* reads;
  };
  Setting settings[] = {
      {L"Quality2", text("Medium"), "Medium"},   {L"Quality2", text("nonsense"), "Medium"},
      {L"Quality", number(0), "0"},              {L"Quality2", text("high"), "High"},
      {L"ScaleMode", number(3), "3"},            {L"ScaleMode", number(9), "3"},
      {L"AlignMode", number(5), "5"},            {L"Loop", number(0), "false"},
      {L"BackgroundColor", number(0x112233), "1122867"},
      {L"BGColor", text("#00FF00"), "#00FF00"},  {L"FlashVars", text("a=1&b=2"), "a=1&b=2"},
      {L"WMode", text("Transparent"), "Transparent"},
      {L"SAlign", text("LT"), "LT"},             {L"Menu", number(0), "false"},
      {L"Scale", text("NoScale"), "NoScale"},    {L"DeviceFont", number(1), "true"},
      {L"EmbedMovie", number(1), "true"},        {L"SWRemote", text("x"), "x"},
  };
  for (Setting& s : settings) {
    put(d_, s.name, s.value);
    EXPECT_EQ(get(d_, s.name), s.reads) << fromWide(s.name);
  }
  EXPECT_EQ(get(d_, L"Quality"), "1") << "Quality2 \"high\" is quality 1";
  EXPECT_EQ(get(d_, L"BackgroundColor"), "65280") << "BGColor sets the same colour";

  // Calls the control does not do yet fail, leaving the caller's neutral result.
  EXPECT_EQ(call(d_, L"GetVariable", {text("/:x")}), "(failed)");
  EXPECT_EQ(call(d_, L"NoSuchMethod"), "(failed)");
  EXPECT_EQ(call(d_, L"GotoFrame"), "(failed)") << "a missing argument";
  EXPECT_EQ(call(d_, L"SetReturnValue", {text("<string>x</string>")}), "");
  DeleteFileW(toWide(path).c_str());
}

// Events wait for the frame timer: none arrives inside the Movie put (although the first frame
// says "start"), and they come in order once messages are pumped.
TEST_F(Hosted, EventsArriveThroughTheConnectionPointFromTheTimerOnly) {
  std::vector<std::string> events;
  ASSERT_TRUE(site_.connectEvents([&](DISPID id, const std::vector<std::wstring>& args) {
    std::string line = std::to_string(id);
    for (const std::wstring& a : args) line += " " + fromWide(a);
    events.push_back(line);
  }));
  std::string path = writeMovie("control-events.swf");
  put(d_, L"Movie", text(path));
  EXPECT_TRUE(events.empty()) << "an event fired inside the put";
  for (int i = 0; i < 100 && events.size() < 2; ++i) pumpFor(20);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], "150 start 1");
  EXPECT_EQ(events[1], "150 tick 2");
  // A frozen control keeps its events.
  IOleControl* control = nullptr;
  ASSERT_EQ(site_.object()->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)), S_OK);
  control->FreezeEvents(TRUE);
  events.clear();
  call(d_, L"Rewind");
  call(d_, L"Play");
  pumpFor(300);
  EXPECT_TRUE(events.empty());
  control->FreezeEvents(FALSE);
  control->Release();
  DeleteFileW(toWide(path).c_str());
}

// A button that says "clicked" on release, and an input field whose variable a key listener
// reports on each key's release ("typed" with the field's text).
const char kInputMovie[] = R"(
movie version=8 size=100x75 rate=30
background #3366cc
shape 1 { fill solid #ff0000; rect 0 0 20px 20px fill0=1 }
button 2 version=2 {
  record id=1 states=up,over,down,hit
  actions on=release { getURL "FSCommand:clicked" "" }
}
place 1 id=2 at=10px,10px
edittext 3 bounds=0,0,1000,400 height=240 var="v"
place 2 id=3 at=50px,10px name="t"
actions {
  push "k" 0 "Object"
  newObject
  setVariable
  push "k"
  getVariable
  push "onKeyUp"
  function "" {
    push "FSCommand:typed"
    push "v"
    getVariable
    getURL2
  }
  setMember
  push "k"
  getVariable
  push 1 "Key"
  getVariable
  push "addListener"
  callMethod
  pop
  stop
}
show
)";

// Messages posted to the control's window as the system delivers them: a click on the button
// (the stage is drawn twice its size), a click into the field, a key typed there.
TEST_F(Hosted, ClicksAndKeysReachTheMovie) {
  std::vector<std::string> events;
  ASSERT_TRUE(site_.connectEvents([&](DISPID id, const std::vector<std::wstring>& args) {
    std::string line = std::to_string(id);
    for (const std::wstring& a : args) line += " " + fromWide(a);
    events.push_back(line);
  }));
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(swfasm::assembleSwf(kInputMovie, bytes, error)) << error;
  std::string path = tempFolder() + "control-input.swf";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  put(d_, L"Movie", text(path));
  pumpFor(100);
  HWND w = site_.controlWindow();
  ASSERT_NE(w, nullptr);
  auto at = [](int x, int y) { return LPARAM(MAKELONG(x, y)); };
  PostMessageW(w, WM_MOUSEMOVE, 0, at(40, 40));
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, at(40, 40));
  PostMessageW(w, WM_LBUTTONUP, 0, at(40, 40));
  for (int i = 0; i < 50 && events.empty(); ++i) pumpFor(20);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "150 clicked ");
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, at(120, 40));
  PostMessageW(w, WM_LBUTTONUP, 0, at(120, 40));
  for (char16_t ch : std::u16string(u"Hi")) {
    PostMessageW(w, WM_KEYDOWN, WPARAM(ch == u'H' ? 'H' : 'I'), 0);
    PostMessageW(w, WM_CHAR, WPARAM(ch), 0);
    PostMessageW(w, WM_KEYUP, WPARAM(ch == u'H' ? 'H' : 'I'), 0);
  }
  for (int i = 0; i < 50 && events.size() < 3; ++i) pumpFor(20);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1], "150 typed H");
  EXPECT_EQ(events[2], "150 typed Hi");
  DeleteFileW(toWide(path).c_str());
}

// Draw into a memory device context gives the pixels the player core renders for the same frame.
TEST_F(Hosted, DrawIntoAMemoryDcMatchesTheCoreRendering) {
  std::string path = writeMovie("control-draw.swf");
  put(d_, L"Playing", number(0));
  put(d_, L"Movie", text(path));
  call(d_, L"GotoFrame", {number(1)});

  player::Player core;
  std::vector<uint8_t> bytes = movieBytes();
  std::string error;
  ASSERT_TRUE(core.load(bytes, &error)) << error;
  core.root().gotoFrame(2);
  player::Surface expected(120, 90);
  core.render(expected, player::ScaleMode::ShowAll, player::Quality::High);

  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -90, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  IViewObject2* view = nullptr;
  ASSERT_EQ(site_.object()->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
  RECTL bounds{0, 0, 120, 90};
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
  view->Release();
  GdiFlush();
  const uint32_t* shown = static_cast<const uint32_t*>(bits);
  int different = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i) different += (shown[i] & 0xFFFFFF) != (expected.pixels[i] & 0xFFFFFF);
  EXPECT_EQ(different, 0);
  EXPECT_EQ(shown[119] & 0xFFFFFF, 0x3366ccu) << "the stage's background";

  // Zoomed to half and panned by 10 % of what is shown, right-aligned: the core's drawing of the
  // same view.
  call(d_, L"Zoom", {number(50)});
  call(d_, L"Pan", {number(10), number(0), number(1)});
  put(d_, L"SAlign", text("R"));
  put(d_, L"ScaleMode", number(0));
  player::Rect half = player::zoomedView(core.frameRect(), core.frameRect(), 50);
  core.setView(player::pannedView(half, core.frameRect(), (half.xMax - half.xMin) / 10, 0), player::AlignRight);
  core.render(expected, player::ScaleMode::ShowAll, player::Quality::High);
  ASSERT_EQ(site_.object()->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
  view->Release();
  GdiFlush();
  different = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i) different += (shown[i] & 0xFFFFFF) != (expected.pixels[i] & 0xFFFFFF);
  EXPECT_EQ(different, 0) << "zoomed and panned";
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dib);
  DeleteFileW(toWide(path).c_str());
}

// A movie's sound reaches the wave output device. The test runs with an ALSA configuration whose
// default device writes what it plays into a WAV file (VORLO_TEST_SOUND_CAPTURE names it): the
// tone the movie starts must be in that file at its pitch.
const char kSoundMovie[] = R"(
movie version=8 size=100x75 rate=30
sound 1 rate=3 samples=22050 tone=441
startsound 1
actions { stop }
show
)";

struct Capture {
  int channels = 0, rate = 0, bits = 0, format = 0;
  std::vector<double> left;  // the first channel, -1..1
};

bool readCapture(const std::string& path, Capture& out) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](size_t i) { return unsigned(b[i] | (b[i + 1] << 8)); };
  auto u32 = [&](size_t i) { return uint32_t(u16(i) | (uint32_t(u16(i + 2)) << 16)); };
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0) return false;
  size_t at = 12, data = 0;
  while (at + 8 <= b.size()) {
    uint32_t size = u32(at + 4);
    if (std::memcmp(&b[at], "fmt ", 4) == 0 && at + 24 <= b.size()) {
      out.format = int(u16(at + 8)), out.channels = int(u16(at + 10)), out.rate = int(u32(at + 12)), out.bits = int(u16(at + 22));
    } else if (std::memcmp(&b[at], "data", 4) == 0) {
      data = at + 8;
      break;
    }
    at += 8 + size;
  }
  if (!data || out.channels <= 0 || (out.bits != 16 && out.bits != 32)) return false;
  const size_t frame = size_t(out.channels) * size_t(out.bits / 8);
  for (size_t i = data; i + frame <= b.size(); i += frame) {
    if (out.bits == 16) {
      out.left.push_back(int16_t(u16(i)) / 32768.0);
    } else if (out.format == 3) {  // IEEE float
      uint32_t bitsOf = u32(i);
      float f;
      std::memcpy(&f, &bitsOf, sizeof f);
      out.left.push_back(f);
    } else {
      out.left.push_back(int32_t(u32(i)) / 2147483648.0);
    }
  }
  return true;
}

TEST_F(Hosted, SoundReachesTheOutputDevice) {
  const char* capturePath = std::getenv("VORLO_TEST_SOUND_CAPTURE");
  ASSERT_NE(capturePath, nullptr) << "the test's ALSA capture is not configured";
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(swfasm::assembleSwf(kSoundMovie, bytes, error)) << error;
  std::string path = tempFolder() + "control-sound.swf";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  put(d_, L"Movie", text(path));
  // The loud part of the capture in 10 ms blocks (a loaded machine may leave gaps of silence in
  // it), and its pitch from the rising zero crossings inside those blocks.
  Capture capture;
  double toneSeconds = 0, pitch = 0;
  auto measure = [&] {
    capture = Capture();
    if (!readCapture(std::string("Z:") + capturePath, capture) || capture.rate <= 0) return;
    const size_t block = size_t(capture.rate / 100);
    size_t loudBlocks = 0;
    int rising = 0;
    for (size_t at = 0; at + block <= capture.left.size(); at += block) {
      double peak = 0;
      for (size_t i = at; i < at + block; ++i) peak = std::max(peak, std::abs(capture.left[i]));
      if (peak < 0.1) continue;
      ++loudBlocks;
      for (size_t i = std::max<size_t>(at, 1); i < at + block; ++i) rising += capture.left[i - 1] < 0 && capture.left[i] >= 0;
    }
    toneSeconds = double(loudBlocks) / 100;
    pitch = toneSeconds > 0 ? rising / toneSeconds : 0;
  };
  for (int i = 0; i < 100 && toneSeconds < 0.5; ++i) {
    pumpFor(100);
    measure();
  }
  pumpFor(200);
  site_.destroy();  // closes the device
  measure();
  ASSERT_GT(capture.rate, 0) << "no WAV capture at " << capturePath;
  EXPECT_NEAR(toneSeconds, 0.5, 0.03) << "half a second of tone, played once";
  EXPECT_NEAR(pitch, 441.0, 10.0);
  DeleteFileW(toWide(path).c_str());
}

// The DLL: regsvr32 registers it, COM creates it by class identifier, regsvr32 /u removes it.
std::string dllPath() {
  std::string path = std::string("Z:") + VORLO_PLAYER_DLL;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

DWORD runAndWait(const std::wstring& commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return DWORD(-1);
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(RegisteredControl, Regsvr32ThenCoCreateInstanceThenUnregister) {
  OleInitialize(nullptr);
  std::wstring dll = toWide(dllPath());
  ASSERT_EQ(runAndWait(L"regsvr32.exe /s \"" + dll + L"\""), 0u);
  IDispatch* d = nullptr;
  ASSERT_EQ(CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
  EXPECT_EQ(get(d, L"FlashVersion"), "524288");
  // The type information comes from the DLL's own type library.
  IProvideClassInfo2* info = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
  GUID events{};
  EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_TRUE(IsEqualGUID(events, kControlEventsId));
  ITypeInfo* cls = nullptr;
  ASSERT_EQ(info->GetClassInfo(&cls), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, kControlClassId));
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  cls->ReleaseTypeAttr(attr);
  cls->Release();
  info->Release();
  ITypeInfo* iface = nullptr;
  ASSERT_EQ(d->GetTypeInfo(0, 0, &iface), S_OK);
  MEMBERID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"FSCommand")};
  EXPECT_NE(iface->GetIDsOfNames(names, 1, &id), S_OK) << "events are not members of the interface";
  iface->Release();
  d->Release();
  CoFreeUnusedLibraries();

  ASSERT_EQ(runAndWait(L"regsvr32.exe /s /u \"" + dll + L"\""), 0u);
  d = nullptr;
  EXPECT_EQ(CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)),
            REGDB_E_CLASSNOTREG);
  OleUninitialize();
}

}  // namespace
}  // namespace vorlo::control
