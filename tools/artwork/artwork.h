// The installer's pictures: the splash background, its activity indicator
// and the program icon, each composed from the drawing primitives.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"
#include "encode.h"

namespace artwork {

constexpr int kSplashWidth = 504;
constexpr int kSplashHeight = 190;
constexpr int kIndicatorWidth = 68;
constexpr int kIndicatorHeight = 48;
// The window's transparency key: pixels of exactly this colour are not shown.
constexpr Rgb8 kColourKey{11, 80, 19};

constexpr int kIconSides[] = {48, 32, 24, 16};
constexpr int kIconDepths[] = {4, 8, 32};

// The indicator is drawn over the splash's bottom-right corner.
constexpr int kIndicatorLeft = kSplashWidth - kIndicatorWidth;
constexpr int kIndicatorTop = kSplashHeight - kIndicatorHeight;

bool ComposeSplash(Canvas* canvas);
bool ComposeIndicator(Canvas* canvas);
// The icon at one size, on a transparent ground, drawn for the colour depth
// it will be stored at.
bool ComposeIcon(int side, int bitsPerPixel, Canvas* canvas);

struct ArtworkFile {
  std::string name;
  Bytes bytes;
};

// splash.bmp, indicator.bmp and orvek.ico, in that order.
bool BuildArtwork(std::vector<ArtworkFile>* files);

}  // namespace artwork
