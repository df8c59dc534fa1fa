#include "resources/tool_images.h"

#include <array>

namespace {

// The fixed first three ids of a size, then `base` + index for the rest.
constexpr std::array<UINT, kToolImageCount> ToolTable(UINT first, UINT second, UINT third, UINT base) {
  std::array<UINT, kToolImageCount> ids{};
  ids[0] = first;
  ids[1] = second;
  ids[2] = third;
  for (int i = 3; i < kToolImageCount; ++i) ids[i] = base + static_cast<UINT>(i);
  return ids;
}

constexpr auto kTool16 = ToolTable(4201, 4221, 4231, 8000);
constexpr auto kTool22 = ToolTable(5500, 5502, 5503, 8200);
constexpr auto kTool32 = ToolTable(4202, 4222, 4232, 8400);

constexpr UINT kSmall16[kSmallImageCount] = {4741, 4701, 4721, 4731};
constexpr UINT kSmall22[kSmallImageCount] = {5554, 5550, 5552, 5553};
constexpr UINT kSmall32[kSmallImageCount] = {5301, 4391, 4631, 5161};

}  // namespace

const UINT* ToolBitmapIds(uint32_t iconSize) {
  switch (iconSize) {
    case 16:
      return kTool16.data();
    case 22:
      return kTool22.data();
    case 32:
      return kTool32.data();
    default:
      return nullptr;
  }
}

const UINT* SmallBitmapIds(uint32_t iconSize) {
  switch (iconSize) {
    case 16:
      return kSmall16;
    case 22:
      return kSmall22;
    case 32:
      return kSmall32;
    default:
      return nullptr;
  }
}

int SmallImageSize(uint32_t iconSize) {
  switch (iconSize) {
    case 16:
      return 8;
    case 22:
      return 10;
    case 32:
      return 16;
    default:
      return 0;
  }
}
