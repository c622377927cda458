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

constexpr HResult kDispE_Overflow = static_cast<HResult>(0x8002000Au);

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
      std::fprintf(stderr, "axhost: line %d: %s\n", number, error.c_str());
      Release();
      return 2;
    }
  }
  Release();
  return 0;
}

std::string Host::Format(const Value& v) const {
  switch (v.type) {
    case Type::kBool: return v.number ? "true" : "false";
    case Type::kText: return Quote(v.text);
    case Type::kVoid: return "S_OK";
    default: return std::to_string(v.number);
  }
}

HResult Host::Coerce(const Word& w, Type t, Value* out) const {
  std::int64_t n = 0;
  switch (t) {
    case Type::kText:
      *out = Value::Text(w.text);
      return automation::kS_OK;
    case Type::kBool:
      if (!w.quoted && (w.text == "true" || w.text == "false")) {
        *out = Value::Bool(w.text == "true");
        return automation::kS_OK;
      }
      if (!ParseNumber(w.text, &n)) return automation::kDispE_TypeMismatch;
      *out = Value::Bool(n != 0);
      return automation::kS_OK;
    case Type::kUI1:
    case Type::kI4: {
      if (!ParseNumber(w.text, &n)) return automation::kDispE_TypeMismatch;
      const bool fits = t == Type::kUI1 ? (n >= 0 && n <= 255) : (n >= INT32_MIN && n <= INT32_MAX);
      if (!fits) return kDispE_Overflow;
      *out = Value::Number(t, n);
      return automation::kS_OK;
    }
    case Type::kVoid:
      break;
  }
  return automation::kDispE_TypeMismatch;
}

HResult Host::GetProperty(const Member& m, Value* out) {
  if (m.kind != Kind::kProperty || !m.get) return automation::kDispE_MemberNotFound;
  return control_->Dispatch().Invoke(m.dispid, Access::kGet, nullptr, out);
}

bool Host::Create(std::string* error) {
  Release();
  control_ = CreateControl(progid_);
  if (!control_) {
    *error = "unknown ProgID " + progid_;
    return false;
  }
  // The page parameters, as a property bag: each persisted property present in it is loaded;
  // a value of the wrong type leaves that property at its default.
  const auto members = control_->Dispatch().Members();
  for (const Member* found : automation::PersistedMembers(members)) {
    for (const auto& [name, word] : params_) {
      if (automation::FindMember(members, name) != found) continue;
      Value v;
      if (Coerce(word, found->type, &v) == automation::kS_OK)
        control_->Dispatch().Invoke(found->dispid, Access::kPut, &v, nullptr);
    }
  }
  return true;
}

void Host::Activate() {
  if (!control_ || active_) return;
  active_ = true;
  control_->CreateWindow(&window_token_);
}

void Host::Deactivate() {
  if (!control_ || !active_) return;
  active_ = false;
  control_->DestroyWindow();
}

void Host::Release() {
  Deactivate();
  if (control_ && summary_) std::fprintf(stderr, "axhost: %s\n", control_->Summary().c_str());
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
    const Member* m = automation::FindMember(control_->Dispatch().Members(), name);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
  if (cmd == "get") {
    if (!need(2)) return false;
    const Member* m = member(words[1].text);
    if (!m) return false;
    Value v;
    const HResult hr = GetProperty(*m, &v);
    PrintLine(m->name + std::string(" = ") + (hr == automation::kS_OK ? Format(v) : "error " + HexCode(hr)));
    return true;
  }
  if (cmd == "put") {
    if (!need(3)) return false;
    const Member* m = member(words[1].text);
    if (!m) return false;
    Value v;
    HResult hr = m->kind == Kind::kProperty && m->put ? Coerce(words[2], m->type, &v)
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
      hr = Coerce(words[i + 2], m->params[i].type, &args[i]);
    Value result;
    if (hr == automation::kS_OK) hr = control_->Dispatch().Invoke(m->dispid, Access::kCall, args.data(), &result);
    const bool has_result = m->type != Type::kVoid && (hr == automation::kS_OK || hr == automation::kS_FALSE);
    PrintLine(m->name + std::string(" -> ") + (has_result ? Format(result) : ResultText(hr)));
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
    if (Coerce(words[2], m->type, &want) != automation::kS_OK) {
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
      if (Format(v) == Format(want) || plat::TickMs() - start >= static_cast<std::uint32_t>(ms)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    PrintLine(m->name + std::string(" = ") + Format(v));
    return true;
  }
  if (cmd == "save") {
    if (!need(1)) return false;
    if (!control_) {
      *error = "save before create";
      return false;
    }
    for (const Member* found : automation::PersistedMembers(control_->Dispatch().Members())) {
      Value v;
      if (GetProperty(*found, &v) == automation::kS_OK)
        PrintLine(std::string("param ") + found->name + " " + Format(v));
    }
    return true;
  }
  *error = "unknown command " + cmd;
  return false;
}

}  // namespace axhost
