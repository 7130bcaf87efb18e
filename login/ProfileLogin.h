#pragma once

#include "login/LoginProfile.h"
#include "login/LoginValues.h"

#include <optional>
#include <string>
#include <string_view>

// The login values of a profile, as the login dialog would hand them over (the coordinates read as its box is).
LoginValues LoginValuesOf(const LoginProfile &profile);

// The values of the profile named name (without regard to case) in the profiles file at path. Nothing when the file
// cannot be read or has no such profile; error then says so in a sentence for the user.
std::optional<LoginValues> ReadProfileLogin(const std::string &path, std::string_view name, std::string &error);
