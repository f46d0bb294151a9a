#include "platform/common/expanded_text.h"

namespace platform {

std::u16string expandVariables(const std::u16string& text,
                               bool (*lookup)(const std::u16string& name, std::u16string& value)) {
  std::u16string result;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t open = text.find(u'%', at);
    std::size_t close = open == std::u16string::npos ? open : text.find(u'%', open + 1);
    if (close == std::u16string::npos) {
      result.append(text, at, std::u16string::npos);
      break;
    }
    result.append(text, at, open - at);
    std::u16string value;
    if (close > open + 1 && lookup(text.substr(open + 1, close - open - 1), value)) {
      result += value;
    } else {
      result.append(text, open, close - open + 1);
    }
    at = close + 1;
  }
  return result;
}

}  // namespace platform
