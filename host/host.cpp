#include "host/host.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/thread.h"

namespace axhost {

using automation::Access;
using automation::HResult;
using automation::Kind;
using automation::Member;
using automation::Type;
using automation::Value;

namespace {

std::mutex g_out;

std::string HexCode(HResult hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

std::string ResultText(HResult hr) {
  if (hr == automation::kS_OK) return "S_OK";
  if (hr == automation::kS_FALSE) return "S_FALSE";
  return HexCode(hr);
}

}  // namespace

void PrintLine(const std::string& line) {
  std::lock_guard<std::mutex> hold(g_out);
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

Host::~Host() { Release(); }

int Host::Run(std::FILE* script) {
  std::string line;
  int number = 0;
  int c;
  bool more = true;
  while (more) {
    line.clear();
    while ((c = std::fgetc(script)) != EOF && c != '\n') line += static_cast<char>(c);
    more = c != EOF;
    if (!more && line.empty()) break;
    ++number;
    std::string error;
    if (!Execute(line, &error)) {
      std::fprintf(stderr, "%s: line %d: %s\n", name_.c_str(), number, error.c_str());
      Release();
      return 2;
    }
  }
  Release();
  return 0;
}

HResult Host::GetProperty(const Member& m, Value* out) {
  if (m.kind != Kind::kProperty || !m.get) return automation::kDispE_MemberNotFound;
  return control_->Dispatch().Invoke(m.dispid, Access::kGet, nullptr, out);
}

void Host::Pause(std::uint32_t ms) {
  if (wait_ != nullptr) wait_(ms);
  else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool Host::Create(std::string* error) {
  Release();
  control_ = factory_(progid_);
  if (!control_) {
    *error = "cannot create " + progid_;
    return false;
  }
  control_->Load(params_);
  return true;
}

void Host::Activate() {
  if (!control_ || active_) return;
  active_ = true;
  control_->CreateControlWindow();
}

void Host::Deactivate() {
  if (!control_ || !active_) return;
  active_ = false;
  control_->DestroyControlWindow();
}

void Host::Release() {
  Deactivate();
  if (control_ && summary_) std::fprintf(stderr, "%s: %s\n", name_.c_str(), control_->Summary().c_str());
  control_.reset();
}

bool Host::Execute(const std::string& line, std::string* error) {
  std::vector<Word> words;
  if (!SplitLine(line, &words, error)) return false;
  if (words.empty() || (!words[0].quoted && words[0].text[0] == '#')) return true;
  const std::string& cmd = words[0].text;
  auto need = [&](std::size_t n) {
    if (words.size() == n) return true;
    *error = cmd + " takes " + std::to_string(n - 1) + " argument(s)";
    return false;
  };
  auto member = [&](const std::string& name) -> const Member* {
    if (!control_) {
      *error = cmd + " before create";
      return nullptr;
    }
    const Member* m = automation::FindScriptable(control_->Dispatch().Members(), name);
    if (!m) *error = "unknown member " + name;
    return m;
  };

  if (cmd == "param") {
    if (!need(3)) return false;
    params_.emplace_back(words[1].text, words[2]);
    return true;
  }
  if (cmd == "create") return need(1) && Create(error);
  if (cmd == "activate" || cmd == "deactivate") {
    if (!need(1)) return false;
    if (!control_) {
      *error = cmd + " before create";
      return false;
    }
    cmd == "activate" ? Activate() : Deactivate();
    return true;
  }
  if (cmd == "release") {
    if (!need(1)) return false;
    Release();
    return true;
  }
  if (cmd == "sleep") {
    std::int64_t ms = 0;
    if (!need(2) || !ParseNumber(words[1].text, &ms) || ms < 0) {
      if (error->empty()) *error = "sleep needs a number of milliseconds";
      return false;
    }
    Pause(static_cast<std::uint32_t>(ms));
    return true;
  }
  if (cmd == "get") {
    if (!need(2)) return false;
    const Member* m = member(words[1].text);
    if (!m) return false;
    Value v;
    const HResult hr = GetProperty(*m, &v);
    PrintLine(m->name + std::string(" = ") + (hr == automation::kS_OK ? FormatValue(v) : "error " + HexCode(hr)));
    return true;
  }
  if (cmd == "put") {
    if (!need(3)) return false;
    const Member* m = member(words[1].text);
    if (!m) return false;
    Value v;
    HResult hr = m->kind == Kind::kProperty && m->put ? CoerceWord(words[2], m->type, &v)
                                                      : automation::kDispE_MemberNotFound;
    if (hr == automation::kS_OK) hr = control_->Dispatch().Invoke(m->dispid, Access::kPut, &v, nullptr);
    if (hr != automation::kS_OK) PrintLine(m->name + std::string(" put error ") + HexCode(hr));
    return true;
  }
  if (cmd == "call") {
    if (words.size() < 2) {
      *error = "call needs a member name";
      return false;
    }
    const Member* m = member(words[1].text);
    if (!m) return false;
    HResult hr = automation::kS_OK;
    std::vector<Value> args(m->params.size());
    if (m->kind != Kind::kMethod) hr = automation::kDispE_MemberNotFound;
    else if (words.size() - 2 != m->params.size()) hr = automation::kDispE_BadParamCount;
    for (std::size_t i = 0; hr == automation::kS_OK && i < args.size(); ++i)
      hr = CoerceWord(words[i + 2], m->params[i].type, &args[i]);
    Value result;
    if (hr == automation::kS_OK) hr = control_->Dispatch().Invoke(m->dispid, Access::kCall, args.data(), &result);
    const bool has_result = m->type != Type::kVoid && (hr == automation::kS_OK || hr == automation::kS_FALSE);
    PrintLine(m->name + std::string(" -> ") + (has_result ? FormatValue(result) : ResultText(hr)));
    return true;
  }
  if (cmd == "until") {
    std::int64_t ms = 0;
    if (!need(4) || !ParseNumber(words[3].text, &ms)) {
      if (error->empty()) *error = "until needs NAME VALUE MS";
      return false;
    }
    const Member* m = member(words[1].text);
    if (!m) return false;
    Value want;
    if (CoerceWord(words[2], m->type, &want) != automation::kS_OK) {
      *error = "until: value does not fit " + words[1].text;
      return false;
    }
    const std::uint32_t start = plat::TickMs();
    Value v;
    for (;;) {
      const HResult hr = GetProperty(*m, &v);
      if (hr != automation::kS_OK) {
        PrintLine(m->name + std::string(" = error ") + HexCode(hr));
        return true;
      }
      if (FormatValue(v) == FormatValue(want) || plat::TickMs() - start >= static_cast<std::uint32_t>(ms)) break;
      Pause(10);
    }
    PrintLine(m->name + std::string(" = ") + FormatValue(v));
    return true;
  }
  if (cmd == "save") {
    if (!need(1)) return false;
    if (!control_) {
      *error = "save before create";
      return false;
    }
    for (const auto& [name, value] : control_->Save()) PrintLine("param " + name + " " + FormatValue(value));
    return true;
  }
  *error = "unknown command " + cmd;
  return false;
}

}  // namespace axhost
