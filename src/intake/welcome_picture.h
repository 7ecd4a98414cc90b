#pragma once

#include <QImage>

// The welcome window's illustration: a web page being dropped in, drawn here
// (no image file), on white so it sits on the window's background.
constexpr int kWelcomePictureSize = 178;

// Drawn for the screen's device pixel ratio, so it stays sharp at 200 %; its
// size in logical pixels is the same at any ratio.
QImage drawWelcomePicture(qreal devicePixelRatio = 1.0);
