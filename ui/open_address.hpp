// Opening a web address (GBK) with the desktop's opener, falling back to
// the browsers named by $BROWSER. The opener can be replaced (tests, a kiosk).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace trimbrel {

bool OpenAddress(std::string_view gbkAddress);
using AddressOpener = std::function<bool(const std::string& utf8Address)>;
void SetAddressOpener(AddressOpener opener);  // empty restores the default

}  // namespace trimbrel
