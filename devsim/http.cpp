#include "devsim/http.h"

#include <cctype>

namespace devsim {
namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The lines of the head, without their CR LF (or bare LF) ends; stops at the empty line.
std::vector<std::string_view> Lines(std::string_view raw) {
  std::vector<std::string_view> lines;
  while (!raw.empty()) {
    const std::size_t lf = raw.find('\n');
    std::string_view line = raw.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() && !lines.empty()) break;
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    raw.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace

std::string Request::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (SameText(key, name)) return value;
  return "";
}

std::string Request::Query(std::string_view name) const {
  std::string_view rest = query;
  while (!rest.empty()) {
    const std::size_t amp = rest.find('&');
    const std::string_view item = rest.substr(0, amp);
    const std::size_t eq = item.find('=');
    if (item.substr(0, eq) == name) return std::string(eq == std::string_view::npos ? "" : item.substr(eq + 1));
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  return "";
}

bool ParseRequest(const std::string& raw, Request* request) {
  request->raw = raw;
  const std::vector<std::string_view> lines = Lines(raw);
  if (lines.empty()) return false;
  std::vector<std::string_view> words;
  std::string_view line = lines[0];
  while (!line.empty()) {
    const std::size_t sp = line.find(' ');
    if (sp != 0) words.push_back(line.substr(0, sp));
    if (sp == std::string_view::npos) break;
    line.remove_prefix(sp + 1);
  }
  if (words.size() != 3) return false;
  request->method = words[0];
  request->target = words[1];
  request->version = words[2];
  const std::size_t q = request->target.find('?');
  request->path = request->target.substr(0, q);
  request->query = q == std::string::npos ? "" : request->target.substr(q + 1);
  request->headers.clear();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(':');
    if (colon == std::string_view::npos) continue;
    request->headers.emplace_back(Trim(lines[i].substr(0, colon)), Trim(lines[i].substr(colon + 1)));
  }
  return true;
}

std::string RequestLine(const std::string& raw) {
  const std::vector<std::string_view> lines = Lines(raw);
  return lines.empty() ? "" : std::string(lines[0]);
}

void Router::Add(std::string method, std::string path, Handler handler) {
  routes_.push_back({std::move(method), std::move(path), std::move(handler)});
}

const Handler* Router::Find(const Request& request) const {
  for (const Route& route : routes_)
    if (route.method == request.method && route.path == request.path) return &route.handler;
  return nullptr;
}

}  // namespace devsim
