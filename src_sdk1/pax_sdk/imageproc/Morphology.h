#pragma once

#include "BWColor.h"
#include "BinaryImage.h"
#include "Brick.h"
#include "GrayImage.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace imageproc {

// Binary morphology: a result pixel p of dilation is black when src(p - b) is black for some offset b
// of the brick; erosion needs every src(p - b) black. Pixels outside src have the surroundings colour.
// dstArea (in source coordinates) selects the part of the result that is produced.
BinaryImage dilateBrick(const BinaryImage& src, const Brick& brick, const QRect& dstArea, BWColor srcSurroundings = WHITE);
BinaryImage dilateBrick(const BinaryImage& src, const Brick& brick, BWColor srcSurroundings = WHITE);
BinaryImage erodeBrick(const BinaryImage& src, const Brick& brick, const QRect& dstArea, BWColor srcSurroundings = BLACK);
BinaryImage erodeBrick(const BinaryImage& src, const Brick& brick, BWColor srcSurroundings = BLACK);

// Erosion then dilation, and dilation then erosion, with the centred brick of that size.
BinaryImage openBrick(const BinaryImage& src, const QSize& brick, const QRect& dstArea, BWColor srcSurroundings = WHITE);
BinaryImage openBrick(const BinaryImage& src, const QSize& brick, BWColor srcSurroundings = WHITE);
BinaryImage closeBrick(const BinaryImage& src, const QSize& brick, const QRect& dstArea, BWColor srcSurroundings = WHITE);
BinaryImage closeBrick(const BinaryImage& src, const QSize& brick, BWColor srcSurroundings = WHITE);

// Grey morphology: dilation takes the darkest (smallest) level of src(p - b), erosion the lightest.
GrayImage dilateGray(const GrayImage& src, const Brick& brick, const QRect& dstArea, unsigned char srcSurroundings = 0xff);
GrayImage dilateGray(const GrayImage& src, const Brick& brick, unsigned char srcSurroundings = 0xff);
GrayImage erodeGray(const GrayImage& src, const Brick& brick, const QRect& dstArea, unsigned char srcSurroundings = 0x00);
GrayImage erodeGray(const GrayImage& src, const Brick& brick, unsigned char srcSurroundings = 0x00);
GrayImage openGray(const GrayImage& src, const QSize& brick, const QRect& dstArea, unsigned char srcSurroundings);
GrayImage openGray(const GrayImage& src, const QSize& brick, unsigned char srcSurroundings);
GrayImage closeGray(const GrayImage& src, const QSize& brick, const QRect& dstArea, unsigned char srcSurroundings);
GrayImage closeGray(const GrayImage& src, const QSize& brick, unsigned char srcSurroundings);

// Black where src(p + h) is black for every hit offset and src(p + m) is white for every miss offset.
BinaryImage hitMissMatch(const BinaryImage& src, BWColor srcSurroundings, const std::vector<QPoint>& hits,
                         const std::vector<QPoint>& misses);
// Pattern of width x height characters, row by row: 'X' hit, ' ' miss, '?' ignored.
BinaryImage hitMissMatch(const BinaryImage& src, BWColor srcSurroundings, const char* pattern, int patternWidth,
                         int patternHeight, const QPoint& patternOrigin);
// 'X' and '-' hits, ' ' and '+' misses, '?' ignored; the origin is the first '+' or '-'.
// Where the pattern matches, '+' positions become black and '-' positions white.
void hitMissReplaceInPlace(BinaryImage& img, BWColor srcSurroundings, const char* pattern, int patternWidth,
                           int patternHeight);
BinaryImage hitMissReplace(const BinaryImage& src, BWColor srcSurroundings, const char* pattern, int patternWidth,
                           int patternHeight);

} // namespace imageproc
