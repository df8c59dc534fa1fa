#include "toolkit/text_style.h"

int ApplyStyleCode(WCHAR code, uint32_t payload, TextStyleState* style, uint8_t* hidden) {
  if (!style) return 0;
  uint8_t ignored = 0;
  if (!hidden) hidden = &ignored;
  switch (code) {
    case kStyleLineEnd:
      return 1;
    case kStyleBoldOn:
      style->bold = 1;
      break;
    case kStyleBoldOff:
      style->bold = 0;
      break;
    case kStyleItalicOn:
      style->italic = 1;
      break;
    case kStyleItalicOff:
      style->italic = 0;
      break;
    case kStyleUnderlineOn:
      style->underline = 1;
      break;
    case kStyleUnderlineOff:
      style->underline = 0;
      break;
    case kStyleLinkStart:
    case kStylePlainLinkStart:
      style->inLink = 1;
      style->linkUnderlined = code == kStyleLinkStart;
      style->hasLinkId = 0;
      style->hiddenTargetLink = 0;
      break;
    case kStyleLinkIdStart:
      style->inLink = 1;
      style->linkUnderlined = 1;
      style->hasLinkId = 1;
      style->linkId = payload;
      style->hiddenTargetLink = 0;
      break;
    case kStyleLinkEnd:
      style->inLink = 0;
      style->linkUnderlined = 0;
      style->hasLinkId = 0;
      break;
    case kStyleColourOn:
      style->colourOn = 1;
      style->colour = payload;
      break;
    case kStyleColourOff:
      style->colourOn = 0;
      style->colour = 0;
      break;
    case kStyleHiddenOn:
      *hidden = 1;
      break;
    case kStyleHiddenOff:
    case kStyleTargetEnd:
      *hidden = 0;
      break;
    case kStyleSizeOn:
      style->sizeOn = 1;
      style->size = payload;
      break;
    case kStyleSizeOff:
      style->sizeOn = 0;
      style->size = 0;
      break;
    case kStyleTargetLinkStart:
      *hidden = 1;
      style->inLink = 1;
      style->linkUnderlined = 1;
      style->hiddenTargetLink = 1;
      style->hasLinkId = 0;
      break;
    case kStyleTargetLinkEnd:
      *hidden = 0;
      style->inLink = 0;
      style->linkUnderlined = 0;
      break;
    default:
      break;
  }
  return 0;
}
