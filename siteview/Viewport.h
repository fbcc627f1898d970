#pragma once

#include <cstdint>
#include <optional>

namespace walkmere {

// A rectangle as its four edges; right and bottom are exclusive, as for a client area.
struct EdgeRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const EdgeRect&) const = default;
};

struct IntPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const IntPoint&) const = default;
};

// Where the floor plan goes on the client area: the source part of the plan (plan pixels)
// is stretched onto the destination (client pixels). Both are empty when nothing of the plan
// can be shown.
struct BlitRects {
    EdgeRect destination;
    EdgeRect source;
};

// Decides which part of the floor plan is visible and maps plan pixels to client pixels.
//
// The handheld's view: all arithmetic is on signed 32-bit integers (the zoom factor is 16-bit)
// and every division truncates toward zero, so the map lands on the same pixels everywhere.
// Products that can pass the 32-bit range are formed in 64 bits before their one division.
// (The desktop map, further down, works in fractions of a pixel.)
//
// The view is the centre plus and minus half its extent after every scroll or centring step;
// a centre inside the plan bounds stays inside them, while the view may reach up to half its
// extent past an edge. (initView can leave the centre outside a plan smaller than the view; a
// scroll toward the plan then moves it by its step.) zoomIn stops at factor kMaxZoom (64): past it
// the extent of a small view would shrink to nothing. A view of zero width or height maps nothing:
// planToClient reports every point invisible, computeBlit yields empty rectangles and clientToPlan
// returns the view's left/top edge, so no operation ever divides by zero.
class CViewport {
public:
    static constexpr int16_t kMaxZoom = 64;

    // Bounds, home view, view and centre to 0, zoom 1; the display switches keep their values.
    void reset();
    void setBounds(int32_t planWidth, int32_t planHeight);
    // Home view and view (0, width, 0, height); centre at the middle.
    void initView(int32_t width, int32_t height);

    // Halves the extent about the centre; does nothing at kMaxZoom.
    void zoomIn();
    // Doubles the extent about the centre, clamped to the plan; back at zoom 1 the saved
    // home view returns. Does nothing at zoom 1.
    void zoomOut();

    // The centre moves by n and stops at the bound it moves toward (scrollLeft at minX,
    // scrollRight at maxX, ...); the far bound is not applied.
    void scrollLeft(int32_t n);
    void scrollRight(int32_t n);
    void scrollUp(int32_t n);
    void scrollDown(int32_t n);
    // The upper bound is applied first, then 0 as the lower one.
    void setCentreX(int32_t x);
    void setCentreY(int32_t y);

    int32_t centreX() const { return centreX_; }
    int32_t centreY() const { return centreY_; }
    int16_t zoom() const { return zoom_; }
    EdgeRect view() const { return {viewLeft, viewTop, viewRight, viewBottom}; }
    EdgeRect home() const { return {homeLeft, homeTop, homeRight, homeBottom}; }
    EdgeRect bounds() const { return {minX, minY, maxX, maxY}; }

    // The plan point under a client point; defined for any client point (also outside the
    // client area). A zero-sized client area gives the view's left/top.
    IntPoint clientToPlan(const EdgeRect& client, IntPoint p) const;
    // clientToPlan, then setCentreX and setCentreY: a tap outside the plan centres on its edge.
    void centreOnClientPoint(const EdgeRect& client, IntPoint p);
    // The client point of a plan point inside the view (the edges count as inside);
    // nothing for a point outside it or for a zero-sized view.
    std::optional<IntPoint> planToClient(const EdgeRect& client, IntPoint p) const;
    // The same linear mapping for any plan point, without the visibility test, in 64 bits so a
    // far-off point cannot overflow; nothing for a zero-sized view. The walk path uses it for
    // a segment that comes in from a point outside the view.
    struct FarPoint {
        int64_t x;
        int64_t y;
    };
    std::optional<FarPoint> planToClientUnbounded(const EdgeRect& client, IntPoint p) const;
    BlitRects computeBlit(const EdgeRect& client) const;

    // ---- the desktop map ----
    // Beyond the handheld's form the view is a map with one scale for both axes (client pixels
    // per plan pixel, 1 at 100 %) about a focus: the plan point shown at the client's middle,
    // kept in fractions of a pixel so that zooming about the pointer keeps the spot under it.
    // While the map is on, the mappings above use it and the scroll and centring operations
    // move its focus (the centre follows as the whole plan pixel under it); the handheld's
    // view and zoom stay as they were and return when the map is turned off.
    static constexpr double kZoomStep = 1.25;
    // On at the handheld's zoom and the current centre; nothing when it is on already.
    void beginDesktopMap();
    void endDesktopMap() { desktop_ = false; }
    bool desktopMap() const { return desktop_; }
    double mapScale() const { return scale_; }
    // The zoom as the status line shows it, in percent.
    int32_t zoomPercent() const;
    // The rulers (top and left) and the status line (bottom) lie over the map's edges: the
    // whole plan fits the room between them.
    static constexpr int32_t kMapMarginLeft = 20, kMapMarginTop = 20, kMapMarginBottom = 13;
    static EdgeRect mapRoom(const EdgeRect& client);
    // The scale at which the whole plan fits the client's room (1 without a plan).
    double wholePlanScale(const EdgeRect& client) const;
    // The whole plan in the client's room, about its middle.
    void showWholePlan(const EdgeRect& client);
    // Multiplies the scale by `factor` keeping the plan point under the client point `at`
    // where it is; the scale stays between the whole plan (or 100 %, when the plan is
    // smaller than the client) and kMaxZoom.
    void zoomMapAbout(double factor, const EdgeRect& client, IntPoint at);
    // Moves the map by client pixels: the focus moves by the plan pixels they cover.
    void panMap(int32_t dx, int32_t dy);
    // Where a plan position lands on the desktop map, in fractions of a client pixel.
    double mapX(const EdgeRect& client, double planX) const;
    double mapY(const EdgeRect& client, double planY) const;
    // The plan point lies on the plan, not in the area beside it.
    bool onPlan(IntPoint plan) const {
        return plan.x >= minX && plan.x < maxX && plan.y >= minY && plan.y < maxY;
    }

    bool showWalkPath() const { return showWalkPath_ != 0; }
    bool showAccessPoints() const { return showAccessPoints_ != 0; }
    void setShowWalkPath(bool on) { showWalkPath_ = on ? 1 : 0; }
    void setShowAccessPoints(bool on) { showAccessPoints_ = on ? 1 : 0; }

private:
    void recentreX();
    void recentreY();
    void setFocus(double x, double y);
    BlitRects computeMapBlit(const EdgeRect& client) const;
    bool viewIsEmpty() const { return viewRight == viewLeft || viewBottom == viewTop; }

    uint8_t showWalkPath_ = 1;
    uint8_t showAccessPoints_ = 1;
    int32_t homeLeft = 0, homeRight = 0, homeTop = 0, homeBottom = 0;
    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    int32_t viewLeft = 0, viewRight = 0, viewTop = 0, viewBottom = 0;
    int32_t centreX_ = 0, centreY_ = 0;
    int16_t zoom_ = 1;
    bool desktop_ = false;
    double scale_ = 1;
    double focusX_ = 0, focusY_ = 0;
};

} // namespace walkmere
