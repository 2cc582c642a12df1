#include "workflow/setup_version_check.h"

#include "platform/diagnostic_log.h"
#include "settings/setup_settings.h"
#include "settings/suite_identity.h"
#include "workflow/version_compare.h"

namespace rerozadez {

SetupVersionRule BuildSetupVersionRule(const std::string& wanted, const char* wantedFrom,
                                       bool forLayout) {
  SetupVersionRule rule = {SuiteProductName(), MinimumSetupVersion(), wanted, wantedFrom,
                           std::string()};
  std::string installed;
  std::wstring installDir;
  if (forLayout || !GetSetupSettings()->IsSuiteInstalled(installed, installDir))
    return rule;
  if (IsPlainVersion(installed)) {
    rule.installed = installed;
  } else {
    // A value nobody can compare (damaged, or of another scheme) is no
    // bound; the floor still is.
    LogLine("setup version: the installed suite's version %s is not comparable", installed.c_str());
  }
  return rule;
}

Status JudgeSetupVersion(const FileVersion& found, const SetupVersionRule& rule) {
  if (found.productName != rule.productName) {
    return Status::Failed(StatusStep::kStartVersion, "product \"" + LogText(found.productName) +
                                                         "\", want \"" + LogText(rule.productName) +
                                                         "\"");
  }
  const std::string version = FormatFileVersion(found.numbers);
  const std::string file = "file version " + version;
  if (!rule.wanted.empty() && CompareVersionNumbers(version, rule.wanted) != 0) {
    return Status::Failed(StatusStep::kStartVersion,
                          file + ", " + rule.wantedFrom + " " + rule.wanted);
  }
  if (CompareVersionNumbers(version, rule.floor) < 0) {
    return Status::Failed(StatusStep::kStartVersion, file + ", below the floor " + rule.floor);
  }
  // The installed suite is judged as the download route judges whether it
  // is current, so that what the route fetches also passes here.
  if (!rule.installed.empty() && CompareVersion(version, rule.installed) < 0) {
    return Status::Failed(StatusStep::kStartVersion,
                          file + ", older than the installed " + rule.installed);
  }
  return Status::Ok();
}

Status CheckSetupVersion(const std::wstring& path, const SetupVersionRule& rule,
                         std::string* version) {
  FileVersion found;
  const DWORD read = ReadFileVersion(path, &found);
  if (read != ERROR_SUCCESS) {
    return Status::Windows(StatusStep::kStartVersion, read,
                           "no version resource, " + LogText(path));
  }
  Status judged = JudgeSetupVersion(found, rule);
  if (!judged.ok()) {
    judged.detail += ", " + LogText(path);
    return judged;
  }
  *version = FormatFileVersion(found.numbers);
  LogLine("setup: %s %s, %s %s, floor %s", LogText(found.productName).c_str(), version->c_str(),
          rule.wanted.empty() ? "nothing" : rule.wantedFrom,
          rule.wanted.empty() ? "wanted" : rule.wanted.c_str(), rule.floor.c_str());
  return Status::Ok();
}

}  // namespace rerozadez
