// A small built-in stroke font: each glyph is a set of centre lines (straight
// runs and rounded corners) on a grid with cap height 10, drawn with a round
// pen of any width. Squared, rounded letterforms suit a game title and stay
// legible from 5 to 60 pixels tall.
#pragma once

#include <string>

#include "shape.h"

namespace artwork {

struct TextStyle {
  double capHeight;  // pixels from baseline to the top of a capital's centre line
  double weight;     // pen width in pixels
  double tracking;   // extra pixels between letters
  double slant;      // horizontal shift per unit of height (0 = upright)
};

// Ink width of the text, pen included. False if a character has no glyph.
bool MeasureText(const std::string& text, const TextStyle& style, double* width);

// The text as a shape whose ink starts at left and sits on baseline (y of
// the baseline in pixels). False if a character has no glyph.
bool TextShape(const std::string& text, double left, double baseline, const TextStyle& style, Shape* out);

}  // namespace artwork
