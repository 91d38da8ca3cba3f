#include "app/extra_options.h"

#include <string_view>

namespace kavrel {

namespace {

enum class Taken { kNo, kYes, kBad };

// "--name=value" -> value; nothing when the argument is another one.
std::optional<std::string_view> ValueOf(std::string_view argument, std::string_view name) {
  if (!argument.starts_with(name) || argument.size() <= name.size() || argument[name.size()] != '=') {
    return std::nullopt;
  }
  return argument.substr(name.size() + 1);
}

Taken TakeOne(const std::vector<std::string>& arguments, size_t& i, ExtraOptions& options, std::string& error) {
  std::string_view argument = arguments[i];
  auto needValue = [&](std::string_view name, std::string_view value) {
    if (!value.empty()) return true;
    error = std::string(name) + " needs a value";
    return false;
  };
  if (argument == "-q" || argument == "--quiet") {
    options.quiet = true;
  } else if (argument == "--offline") {
    options.offline = true;
  } else if (argument == "--refresh") {
    options.refresh = true;
  } else if (argument == "--changes") {
    options.changes = true;
  } else if (argument == "-o") {
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = "-o needs a folder";
      return Taken::kBad;
    }
    options.outputDir = arguments[++i];
  } else if (auto dir = ValueOf(argument, "--output-dir")) {
    if (!needValue("--output-dir", *dir)) return Taken::kBad;
    options.outputDir = *dir;
  } else if (auto path = ValueOf(argument, "--changes")) {
    if (!needValue("--changes", *path)) return Taken::kBad;
    options.changes = true;
    options.changesPath = *path;
  } else if (auto format = ValueOf(argument, "--changes-format")) {
    if (*format != "json" && *format != "text") {
      error = "--changes-format takes json or text, not '" + std::string(*format) + "'";
      return Taken::kBad;
    }
    options.changesJson = *format == "json";
  } else if (auto update = ValueOf(argument, "--update")) {
    if (!needValue("--update", *update)) return Taken::kBad;
    options.updatePath = *update;
  } else if (auto list = ValueOf(argument, "--positions")) {
    PositionSelection selection;
    std::string why;
    if (!ParsePositionList(*list, selection, why)) {
      error = "--positions: " + why;
      return Taken::kBad;
    }
    options.positions = selection;
  } else if (argument == "--output-dir" || argument == "--update" || argument == "--positions" ||
             argument == "--changes-format") {
    error = std::string(argument) + " needs a value (" + std::string(argument) + "=...)";
    return Taken::kBad;
  } else {
    return Taken::kNo;
  }
  return Taken::kYes;
}

}  // namespace

bool TakeExtraOptions(std::vector<std::string>& arguments, ExtraOptions& options, std::string& error) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i == 0) {
      rest.push_back(arguments[i]);
      continue;
    }
    switch (TakeOne(arguments, i, options, error)) {
      case Taken::kBad: return false;
      case Taken::kNo: rest.push_back(arguments[i]); break;
      case Taken::kYes: break;
    }
  }
  if (options.changesJson && !options.changes) {
    error = "--changes-format needs --changes";
    return false;
  }
  if (options.offline && options.refresh) {
    error = "--offline and --refresh exclude each other";
    return false;
  }
  arguments = std::move(rest);
  return true;
}

}  // namespace kavrel
