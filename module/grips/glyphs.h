// Grip glyphs of linear grips and the value-set marks that show where a hot grip may land.
//
// The drawing works on plain inputs (block transform, grip position and direction, the marks to
// show) so that it can be driven both by the grip record's viewport-draw callback and directly by
// a test with a recording viewport. Nothing here keeps state between calls.
#pragma once

#include <cstddef>
#include <vector>

#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/gi/viewportdraw.h"
#include "host/grips/gripoverrule.h"
#include "module/frame/export.h"

class KxDbBlockTagValueSet;

namespace kxgrips {

// How the host asks for a grip to be drawn.
enum GlyphDrawType { kGlyphWarm = 0, kGlyphHover = 1, kGlyphHot = 2, kGlyphDragImage = 3 };

inline constexpr Adesk::UInt16 kGlyphFallbackColor = 140;  // when "GRIPDYNCOLOR" is unknown
inline constexpr Adesk::UInt16 kGlyphOutlineColor = 251;
inline constexpr Adesk::UInt16 kValueSetMarkColor = 253;
// Added to the draw flags while the filled glyph is drawn.
inline constexpr Adesk::UInt32 kGlyphFillDrawFlag = 0x10;
// A value set whose increment would put more marks than this in view draws none: the marks
// would merge into a bar and cost the editor a frame per hover.
inline constexpr std::size_t kMaxValueSetMarks = 1000;
// Pixel sizes below this are taken as a viewport that cannot be measured.
inline constexpr double kMinPixelSize = 1.1920928955078125e-7;

// Where the marks of a hot linear grip go, in world coordinates.
struct ValueSetMarks {
    AcGePoint3d origin;            // the point the distances are measured from
    AcGeVector3d direction;        // unit vector the distances run along
    AcGeVector3d across;           // unit vector the mark lines run along
    double currentDistance = 0.0;  // the parameter's present distance, in definition units
    double scale = 1.0;            // the reference's scale along the direction
    bool halfDistance = false;     // the parameter is centred: its ends move by half a distance
    const KxDbBlockTagValueSet* valueSet = nullptr;
};

// The distances (world units, already scaled) at which marks are drawn for a value set.
// `visibleExtent` is how far the view reaches (world units), used as the upper bound of an
// increment set without maximum; `pixelsPerUnit` decides whether successive marks would fall
// within one pixel of each other. Answers false (and no distances) when the set yields no
// marks: neither a list nor an increment, an unusable increment (zero, NaN, infinite), marks
// closer than a pixel, or more marks than kMaxValueSetMarks. A negative increment steps the
// same grid as its absolute value.
KXDB_EXPORT bool valueSetMarkDistances(const KxDbBlockTagValueSet& set, double scale,
                                       double currentDistance, double visibleExtent,
                                       double pixelsPerUnit, std::vector<double>& distances);

// Draws the marks (2-point lines across the direction, colour 253), each `halfLength` to either
// side of the line. Answers the number of marks drawn.
KXDB_EXPORT int drawValueSetMarks(AcGiViewportDraw* vd, const ValueSetMarks& marks,
                                  double halfLength);

// What drawLinearGlyph needs to know about one linear grip.
struct LinearGlyph {
    AcGeMatrix3d blockTransform;            // block definition to world
    AcGePoint3d definitionPosition;         // the grip, in definition coordinates
    AcGeVector3d direction{1.0, 0.0, 0.0};  // the arrow's direction, in definition coordinates
    bool degenerate = false;                // the direction could not be found (X axis used)
    AcGeVector3d normal{0.0, 0.0, 1.0};     // the reference's normal (world)
    AcGePoint3d gripPoint;                  // the image grip point (world)
    int drawType = kGlyphWarm;
    int gripSize = 5;                      // half size of the glyph, in pixels
    const ValueSetMarks* marks = nullptr;  // shown on a hot grip when "BTMARKDISPLAY" is on
};

// Draws the arrow triangle of a linear grip: filled, outlined on warm grips when the working
// database's fill mode is on, with value-set marks on hot grips. The arrow lies in the
// reference's plane unless the view is a perspective view or looks at that plane almost edge-on
// (more than 80 degrees between its normal and the line of sight): then it is drawn facing the
// screen. Answers false when nothing could be drawn (no context, unmeasurable viewport).
KXDB_EXPORT bool drawLinearGlyph(AcGiViewportDraw* vd, const LinearGlyph& glyph);

// The viewport-draw function of linear grip records (the editor's callback form): reads the
// grip's application data and, for the marks of a hot grip, its parameter through a reference
// context. Nothing is drawn when the record is not a block grip's or the reference cannot be
// opened.
KXDB_EXPORT bool drawLinearGlyph(AcDbGripData* record, AcGiViewportDraw* vd,
                                 const AcDbObjectId& entityId, AcDbGripOperations::DrawType type,
                                 AcGePoint3d* imageGripPoint, int gripSizeInPixels);

// Whether a glyph with this normal is drawn facing the screen rather than in its own plane.
KXDB_EXPORT bool glyphInEyeSpace(const AcGiViewport& viewport, const AcGeVector3d& normal);

}  // namespace kxgrips
