// The web addresses the window opens, kept in one place. They sit under the
// domains reserved for examples until the project has a site of its own.
#pragma once

namespace trimbrel {

inline constexpr const char* kProductHomePage = "https://www.example.org/trimbrel/";
inline constexpr const char* kContactPage = "https://www.example.org/trimbrel/contact";
inline constexpr const char* kMakerHomePage = "https://www.example.com/";
// What the contact link shows instead of a messenger account of a person.
inline constexpr const char* kContactCaption = "联系作者";

}  // namespace trimbrel
