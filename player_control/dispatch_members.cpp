// The properties and methods of the control, in dispatch-number order of the type library.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "player_control/dispatch_table.h"

#include <olectl.h>

namespace vorlo::control {
namespace {

// The host's calls into the movie go through the player's facade, which knows every target path
// ("/", "_root", "/a/b", "_level0.a.b"); without a movie they answer as a clip that is not there.
player::Player* moviePlayer(Call& c) { return c.model.hasMovie() ? &c.model.player() : nullptr; }

// A call the movie could not do leaves the caller's neutral result.
void answerDone(Call& c, bool done) {
  if (!done) c.status = E_FAIL;
}

void answerText(Call& c, const std::optional<std::string>& text) {
  if (text) c.answer(*text);
  else c.status = E_FAIL;
}

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string colorText(long rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06lX", static_cast<unsigned long>(rgb) & 0xFFFFFFul);
  return text;
}

long parseColorText(const std::string& text) {
  std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 6) return -1;
  char* end = nullptr;
  long value = std::strtol(digits.c_str(), &end, 16);
  return end && *end == 0 ? value : -1;
}

constexpr Member kMembers[] = {
    {DISPID_READYSTATE, L"ReadyState", [](Call& c) { c.answer(long(c.model.hasMovie() ? 4 : 0)); }},
    {0x66, L"Movie", [](Call& c) { c.answer(c.model.movieUrl()); }, [](Call& c) { c.model.setMovie(c.text(0)); }},
    {0x69, L"Quality", [](Call& c) { c.answer(long(c.model.quality)); },
     [](Call& c) {
       if (qualityByNumber(int(c.integer(0)))) c.model.quality = int(c.integer(0));
     }},
    {0x6a, L"Loop", [](Call& c) { c.answer(c.model.loop); }, [](Call& c) { c.model.loop = c.flag(0); }},
    {0x6b, L"FrameNum", [](Call& c) { c.answer(long(c.model.currentFrame())); },
     [](Call& c) { c.model.gotoFrame(int(c.integer(0))); }},
    {0x6d, L"SetZoomRect", nullptr, nullptr,
     [](Call& c) { c.model.setZoomRect(double(c.integer(0)), double(c.integer(1)), double(c.integer(2)), double(c.integer(3))); },
     4},
    {0x70, L"Play", nullptr, nullptr, [](Call& c) { c.model.setPlaying(true); }},
    {0x71, L"Stop", nullptr, nullptr, [](Call& c) { c.model.setPlaying(false); }},
    {0x72, L"Back", nullptr, nullptr, [](Call& c) { c.model.back(); }},
    {0x73, L"Forward", nullptr, nullptr, [](Call& c) { c.model.forward(); }},
    {0x74, L"Rewind", nullptr, nullptr, [](Call& c) { c.model.rewind(); }},
    {0x76, L"Zoom", nullptr, nullptr,
     [](Call& c) { c.model.zoom(double(c.integer(0))); }, 1},
    {0x77, L"Pan", nullptr, nullptr,
     [](Call& c) { c.model.pan(double(c.integer(0)), double(c.integer(1)), int(c.integer(2))); }, 3},
    {0x78, L"ScaleMode", [](Call& c) { c.answer(long(c.model.scaleMode)); },
     [](Call& c) {
       long mode = c.integer(0);
       if (mode >= 0 && mode <= 3) c.model.scaleMode = int(mode);
     }},
    {0x79, L"AlignMode", [](Call& c) { c.answer(long(c.model.alignMode)); },
     [](Call& c) { c.model.alignMode = int(c.integer(0)) & 0xF; }},
    {0x7b, L"BackgroundColor", [](Call& c) { c.answer(c.model.backgroundColor); },
     [](Call& c) { c.model.backgroundColor = c.integer(0) < 0 ? -1 : c.integer(0) & 0xFFFFFF; }},
    {0x7c, L"TotalFrames", [](Call& c) { c.answer(long(c.model.totalFrames())); }},
    {0x7d, L"Playing", [](Call& c) { c.answer(c.model.playing()); }, [](Call& c) { c.model.setPlaying(c.flag(0)); }},
    {0x7e, L"StopPlay", nullptr, nullptr, [](Call& c) { c.model.setPlaying(false); }},
    {0x7f, L"GotoFrame", nullptr, nullptr, [](Call& c) { c.model.gotoFrame(int(c.integer(0))); }, 1},
    {0x80, L"CurrentFrame", nullptr, nullptr, [](Call& c) { c.answer(long(c.model.currentFrame())); }},
    {0x81, L"IsPlaying", nullptr, nullptr, [](Call& c) { c.answer(c.model.playing()); }},
    {0x82, L"PercentLoaded", nullptr, nullptr, [](Call& c) { c.answer(long(c.model.hasMovie() ? 100 : 0)); }},
    {0x83, L"FrameLoaded", nullptr, nullptr,
     [](Call& c) { c.answer(c.integer(0) >= 0 && c.integer(0) < c.model.totalFrames()); }, 1},
    {0x84, L"FlashVersion", [](Call& c) { c.answer(c.model.flashVersion()); }},
    {0x85, L"WMode", [](Call& c) { c.answer(c.model.wmode); }, [](Call& c) { c.model.wmode = c.text(0); }},
    {0x86, L"SAlign", [](Call& c) { c.answer(c.model.salign); },
     [](Call& c) {
       c.model.salign = c.text(0);
       c.model.alignMode = player::alignFromText(c.model.salign.c_str());
     }},
    {0x87, L"Menu", [](Call& c) { c.answer(c.model.menu); }, [](Call& c) { c.model.menu = c.flag(0); }},
    {0x88, L"Base", [](Call& c) { c.answer(c.model.base); }, [](Call& c) { c.model.base = c.text(0); }},
    {0x89, L"Scale", [](Call& c) { c.answer(c.model.scale); }, [](Call& c) { c.model.scale = c.text(0); }},
    {0x8a, L"DeviceFont", [](Call& c) { c.answer(c.model.deviceFont); }, [](Call& c) { c.model.deviceFont = c.flag(0); }},
    {0x8b, L"EmbedMovie", [](Call& c) { c.answer(c.model.embedMovie); }, [](Call& c) { c.model.embedMovie = c.flag(0); }},
    {0x8c, L"BGColor",
     [](Call& c) { c.answer(c.model.backgroundColor < 0 ? std::string() : colorText(c.model.backgroundColor)); },
     [](Call& c) { c.model.backgroundColor = parseColorText(c.text(0)); }},
    {0x8d, L"Quality2",
     [](Call& c) {
       const QualityName* q = qualityByNumber(c.model.quality);
       c.answer(std::string(q ? q->name : "High"));
     },
     [](Call& c) {
       if (const QualityName* q = qualityByName(c.text(0))) c.model.quality = q->number;
     }},
    // Loading into other levels needs levels in the player's facade; level 0 replaces the movie.
    {0x8e, L"LoadMovie", nullptr, nullptr,
     [](Call& c) {
       if (c.integer(0) == 0) c.model.setMovie(c.text(1));
       else c.status = E_NOTIMPL;
     },
     2},
    {0x8f, L"TGotoFrame", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->gotoFrame(c.text(0), int(c.integer(1))));
     },
     2},
    {0x90, L"TGotoLabel", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->gotoLabel(c.text(0), c.text(1)));
     },
     2},
    {0x91, L"TCurrentFrame", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       c.answer(long(p ? p->currentFrame(c.text(0)) : -1));
     },
     1},
    {0x92, L"TCurrentLabel", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       if (p && p->currentFrame(c.text(0)) >= 0) c.answer(p->currentLabel(c.text(0)));
       else c.status = E_FAIL;
     },
     1},
    {0x93, L"TPlay", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->play(c.text(0)));
     },
     1},
    {0x94, L"TStopPlay", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->stopPlay(c.text(0)));
     },
     1},
    {0x97, L"SetVariable", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->setVariable(c.text(0), c.text(1)));
     },
     2},
    {0x98, L"GetVariable", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerText(c, p ? p->getVariable(c.text(0)) : std::nullopt);
     },
     1},
    {0x99, L"TSetProperty", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->setProperty(c.text(0), int(c.integer(1)), c.text(2)));
     },
     3},
    {0x9a, L"TGetProperty", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerText(c, p ? p->getProperty(c.text(0), int(c.integer(1))) : std::nullopt);
     },
     2},
    {0x9b, L"TCallFrame", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->callFrame(c.text(0), int(c.integer(1))));
     },
     2},
    {0x9c, L"TCallLabel", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->callLabel(c.text(0), c.text(1)));
     },
     2},
    {0x9d, L"TSetPropertyNum", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       answerDone(c, p && p->setProperty(c.text(0), int(c.integer(1)), numberText(c.number(2))));
     },
     3},
    {0x9e, L"TGetPropertyNum", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       std::optional<std::string> text = p ? p->getProperty(c.text(0), int(c.integer(1))) : std::nullopt;
       if (text) c.answer(std::strtod(text->c_str(), nullptr));
       else c.status = E_FAIL;
     },
     2},
    {0x9f, L"SWRemote", [](Call& c) { c.answer(c.model.swRemote); }, [](Call& c) { c.model.swRemote = c.text(0); }},
    {0xaa, L"FlashVars", [](Call& c) { c.answer(c.model.flashVars); }, [](Call& c) { c.model.flashVars = c.text(0); }},
    {0xab, L"AllowScriptAccess", [](Call& c) { c.answer(c.model.allowScriptAccess); },
     [](Call& c) { c.model.allowScriptAccess = c.text(0); }},
    // A function the movie registered with its external interface: the external-call request in, the
    // answer's value element out. A request naming no registered function fails.
    {0xc6, L"CallFunction", nullptr, nullptr,
     [](Call& c) {
       player::Player* p = moviePlayer(c);
       std::string answer = p ? p->callFunction(c.text(0)) : std::string();
       if (answer.empty()) c.status = E_FAIL;
       else c.answer(answer);
     },
     1},
    {0xc7, L"SetReturnValue", nullptr, nullptr, [](Call& c) { c.model.returnValue = c.text(0); }, 1},
};

}  // namespace

std::span<const Member> members() { return kMembers; }

}  // namespace vorlo::control
