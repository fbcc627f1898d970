#include "siteview/Viewport.h"

#include <algorithm>
#include <limits>

namespace walkmere {

namespace {

// Results are formed in 64 bits and brought back into the 32-bit range; with sane plans
// nothing is ever cut, but hostile sizes must not wrap around.
int32_t sat32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// (a + b) / 2, truncating toward zero like every division of the map.
int32_t halfway(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) + b) / 2);
}

} // namespace

void CViewport::reset() {
    homeLeft = homeRight = homeTop = homeBottom = 0;
    minX = maxX = minY = maxY = 0;
    viewLeft = viewRight = viewTop = viewBottom = 0;
    centreX_ = centreY_ = 0;
    zoom_ = 1;
}

void CViewport::setBounds(int32_t planWidth, int32_t planHeight) {
    minX = 0;
    maxX = planWidth;
    minY = 0;
    maxY = planHeight;
}

void CViewport::initView(int32_t width, int32_t height) {
    homeLeft = viewLeft = 0;
    homeRight = viewRight = width;
    homeTop = viewTop = 0;
    homeBottom = viewBottom = height;
    centreX_ = width / 2;
    centreY_ = height / 2;
}

void CViewport::fitView(int32_t extentX, int32_t extentY) {
    if (extentX < 0 || extentY < 0) return;
    const int32_t homeX = halfway(homeLeft, homeRight), homeY = halfway(homeTop, homeBottom);
    int32_t viewX = extentX, viewY = extentY;
    for (int z = zoom_; z > 1; z /= 2) {
        viewX /= 2;
        viewY /= 2;
    }
    auto fit = [](int32_t& low, int32_t& high, int32_t middle, int32_t extent) {
        if (high - low == extent) return;
        low = sat32(int64_t{middle} - extent / 2);
        high = sat32(int64_t{low} + extent);
    };
    fit(homeLeft, homeRight, homeX, extentX);
    fit(homeTop, homeBottom, homeY, extentY);
    fit(viewLeft, viewRight, centreX_, viewX);
    fit(viewTop, viewBottom, centreY_, viewY);
}

void CViewport::zoomIn() {
    if (zoom_ >= kMaxZoom) return;
    if (zoom_ == 1) {
        homeLeft = viewLeft;
        homeRight = viewRight;
        homeTop = viewTop;
        homeBottom = viewBottom;
    }
    zoom_ = static_cast<int16_t>(zoom_ * 2);
    viewLeft = halfway(centreX_, viewLeft);
    viewRight = halfway(viewRight, centreX_);
    viewTop = halfway(centreY_, viewTop);
    viewBottom = halfway(centreY_, viewBottom);
}

void CViewport::zoomOut() {
    if (zoom_ < 2) return;
    zoom_ = static_cast<int16_t>(zoom_ / 2);
    if (zoom_ == 1) {
        viewLeft = homeLeft;
        viewRight = homeRight;
        viewTop = homeTop;
        viewBottom = homeBottom;
        centreX_ = halfway(homeLeft, homeRight);
        centreY_ = halfway(homeTop, homeBottom);
        return;
    }
    // Each edge grows away from the centre and stops at the plan edge on its own side.
    viewLeft = sat32(std::max<int64_t>(2 * static_cast<int64_t>(viewLeft) - centreX_, minX));
    viewRight = sat32(std::min<int64_t>(2 * static_cast<int64_t>(viewRight) - centreX_, maxX));
    viewTop = sat32(std::max<int64_t>(2 * static_cast<int64_t>(viewTop) - centreY_, minY));
    viewBottom = sat32(std::min<int64_t>(2 * static_cast<int64_t>(viewBottom) - centreY_, maxY));
    centreX_ = halfway(viewLeft, viewRight);
    centreY_ = halfway(viewTop, viewBottom);
}

void CViewport::recentreX() {
    const int64_t half = (static_cast<int64_t>(viewRight) - viewLeft) / 2;
    viewLeft = sat32(centreX_ - half);
    viewRight = sat32(centreX_ + half);
}

void CViewport::recentreY() {
    const int64_t half = (static_cast<int64_t>(viewBottom) - viewTop) / 2;
    viewTop = sat32(centreY_ - half);
    viewBottom = sat32(centreY_ + half);
}

// Each direction clamps only at the bound it moves toward: where initView left the centre
// outside the plan (a plan smaller than the client, or none at all), a step toward the plan
// moves it by the step, not onto the far bound.
void CViewport::scrollLeft(int32_t n) {
    centreX_ = sat32(std::max<int64_t>(static_cast<int64_t>(centreX_) - n, minX));
    recentreX();
}

void CViewport::scrollRight(int32_t n) {
    centreX_ = sat32(std::min<int64_t>(static_cast<int64_t>(centreX_) + n, maxX));
    recentreX();
}

void CViewport::scrollUp(int32_t n) {
    centreY_ = sat32(std::max<int64_t>(static_cast<int64_t>(centreY_) - n, minY));
    recentreY();
}

void CViewport::scrollDown(int32_t n) {
    centreY_ = sat32(std::min<int64_t>(static_cast<int64_t>(centreY_) + n, maxY));
    recentreY();
}

void CViewport::setCentreX(int32_t x) {
    centreX_ = x;
    if (centreX_ > maxX) centreX_ = maxX;
    if (centreX_ < 0) centreX_ = 0;
    recentreX();
}

void CViewport::setCentreY(int32_t y) {
    centreY_ = y;
    if (centreY_ > maxY) centreY_ = maxY;
    if (centreY_ < 0) centreY_ = 0;
    recentreY();
}

IntPoint CViewport::clientToPlan(const EdgeRect& client, IntPoint p) const {
    const int64_t cw = static_cast<int64_t>(client.right) - client.left;
    const int64_t ch = static_cast<int64_t>(client.bottom) - client.top;
    const int64_t vw = static_cast<int64_t>(viewRight) - viewLeft;
    const int64_t vh = static_cast<int64_t>(viewBottom) - viewTop;
    IntPoint plan{viewLeft, viewTop};
    if (cw != 0) plan.x = sat32(viewLeft + (p.x * vw) / cw);
    if (ch != 0) plan.y = sat32(viewTop + (p.y * vh) / ch);
    return plan;
}

void CViewport::centreOnClientPoint(const EdgeRect& client, IntPoint p) {
    const IntPoint plan = clientToPlan(client, p);
    setCentreX(plan.x);
    setCentreY(plan.y);
}

std::optional<CViewport::FarPoint> CViewport::planToClientUnbounded(const EdgeRect& client,
                                                                    IntPoint p) const {
    const int64_t vw = static_cast<int64_t>(viewRight) - viewLeft;
    const int64_t vh = static_cast<int64_t>(viewBottom) - viewTop;
    if (vw == 0 || vh == 0) return std::nullopt;
    const int64_t cw = static_cast<int64_t>(client.right) - client.left;
    const int64_t ch = static_cast<int64_t>(client.bottom) - client.top;
    return FarPoint{client.left + ((static_cast<int64_t>(p.x) - viewLeft) * cw) / vw,
                    client.top + ((static_cast<int64_t>(p.y) - viewTop) * ch) / vh};
}

std::optional<IntPoint> CViewport::planToClient(const EdgeRect& client, IntPoint p) const {
    if (p.x < viewLeft || p.x > viewRight || p.y < viewTop || p.y > viewBottom) {
        return std::nullopt;
    }
    const auto far = planToClientUnbounded(client, p);
    if (!far) return std::nullopt;
    // Inside the view the result lies within the client rectangle, so it fits 32 bits.
    return IntPoint{sat32(far->x), sat32(far->y)};
}

BlitRects CViewport::computeBlit(const EdgeRect& client) const {
    const int64_t w = static_cast<int64_t>(viewRight) - viewLeft;
    const int64_t h = static_cast<int64_t>(viewBottom) - viewTop;
    if (w <= 0 || h <= 0) return {};

    BlitRects r;
    r.source = {std::max(viewLeft, 0), std::max(viewTop, 0), std::min(viewRight, maxX),
                std::min(viewBottom, maxY)};
    if (r.source.width() <= 0 || r.source.height() <= 0) return {};

    const int64_t x0 = client.left, y0 = client.top, x1 = client.right, y1 = client.bottom;
    EdgeRect& d = r.destination;
    d = client;
    // The plan's edge lands where planToClient would put it; the rest of the client area
    // shows no plan.
    if (viewLeft <= 0) d.left = sat32(x0 - ((x1 - x0) * viewLeft) / w);
    if (viewTop <= 0) d.top = sat32(y0 - ((y1 - y0) * viewTop) / h);
    if (viewRight > maxX)
        d.right = sat32(x1 - ((static_cast<int64_t>(viewRight) - maxX) * (x1 - x0)) / w);
    if (viewBottom > maxY)
        d.bottom = sat32(y1 - ((static_cast<int64_t>(viewBottom) - maxY) * (y1 - y0)) / h);
    if (d.width() <= 0 || d.height() <= 0) return {};
    return r;
}

} // namespace walkmere
