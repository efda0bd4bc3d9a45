#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// A copy of the bytes of one of the clock's own pictures ("digits0.bmp", "toolbox30000.bmp")
// as the library holds them among its resources; empty when it holds none of that name.
std::vector<std::byte> clockResource(std::string_view name);
