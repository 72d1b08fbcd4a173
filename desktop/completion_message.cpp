#include "desktop/completion_message.hpp"

#include <string_view>

namespace trimbrel {

namespace {

constexpr const char* kTitle = "Kelvra：";

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The window speaks Chinese; the engine's reasons are short English phrases
// that the command line prints as they are. Known ones get a Chinese lead,
// and the engine's words stay behind it for whoever has to dig further.
std::string ReadReason(const std::string& reason) {
  struct Lead {
    std::string_view prefix;
    const char* words;
  };
  static constexpr Lead kLeads[] = {
      {"cannot open", "无法打开"},
      {"unknown kind", "不是能读的图片"},
      {"damaged", "图片已损坏"},
      {"too large", "图片太大"},
  };
  for (const Lead& lead : kLeads) {
    if (StartsWith(reason, lead.prefix)) return std::string(lead.words) + "（" + reason + "）";
  }
  return "无法读取（" + reason + "）";
}

std::string WriteReason(const std::string& reason) { return "无法保存（" + reason + "）"; }

std::string Describe(const PhotoReport& photo) {
  std::string name = FileNameOf(photo.photo);
  if (name.empty()) name = photo.photo.empty() ? "（空白项）" : photo.photo;
  if (!photo.writeError.empty()) return name + "：" + WriteReason(photo.writeError);
  if (!photo.readError.empty() && photo.keptExisting) {
    return name + "：" + ReadReason(photo.readError) + "，已有的同名结果保留未动";
  }
  if (!photo.readError.empty()) return name + "：" + ReadReason(photo.readError) + "，只写出了底色图片";
  return name + "：未写出";
}

}  // namespace

CompletionMessage ComposeCompletion(const BatchReport& report) {
  CompletionMessage message{kTitle, "修剪完成！", false};
  std::size_t failed = 0;
  std::string list;
  for (const PhotoReport& photo : report.photos) {
    if (photo.ok() || photo.skipped) continue;
    if (++failed > kListedFailuresMax) continue;
    list += '\n';
    list += Describe(photo);
  }
  if (failed == 0) return message;
  message.warning = true;
  message.text += "\n\n" + std::to_string(failed) + " 张照片没有修剪成功：" + list;
  if (failed > kListedFailuresMax) message.text += "\n……还有 " + std::to_string(failed - kListedFailuresMax) + " 张";
  return message;
}

CompletionMessage ComposeRefusal(const std::string& reason) {
  return {kTitle, "无法修剪：" + reason, true};
}

std::string ProgressCaption(int total, int index, const std::string& fileName) {
  return std::to_string(total) + "/" + std::to_string(index) + ":" + fileName;
}

}  // namespace trimbrel
