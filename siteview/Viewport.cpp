#include "siteview/Viewport.h"

#include <algorithm>
#include <cmath>
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
    desktop_ = false;
    scale_ = 1;
    focusX_ = focusY_ = 0;
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
    if (desktop_) return setFocus(focusX_ - n, focusY_);
    centreX_ = sat32(std::max<int64_t>(static_cast<int64_t>(centreX_) - n, minX));
    recentreX();
}

void CViewport::scrollRight(int32_t n) {
    if (desktop_) return setFocus(focusX_ + n, focusY_);
    centreX_ = sat32(std::min<int64_t>(static_cast<int64_t>(centreX_) + n, maxX));
    recentreX();
}

void CViewport::scrollUp(int32_t n) {
    if (desktop_) return setFocus(focusX_, focusY_ - n);
    centreY_ = sat32(std::max<int64_t>(static_cast<int64_t>(centreY_) - n, minY));
    recentreY();
}

void CViewport::scrollDown(int32_t n) {
    if (desktop_) return setFocus(focusX_, focusY_ + n);
    centreY_ = sat32(std::min<int64_t>(static_cast<int64_t>(centreY_) + n, maxY));
    recentreY();
}

void CViewport::setCentreX(int32_t x) {
    if (desktop_) return setFocus(x, focusY_);
    centreX_ = x;
    if (centreX_ > maxX) centreX_ = maxX;
    if (centreX_ < 0) centreX_ = 0;
    recentreX();
}

void CViewport::setCentreY(int32_t y) {
    if (desktop_) return setFocus(focusX_, y);
    centreY_ = y;
    if (centreY_ > maxY) centreY_ = maxY;
    if (centreY_ < 0) centreY_ = 0;
    recentreY();
}

IntPoint CViewport::clientToPlan(const EdgeRect& client, IntPoint p) const {
    if (desktop_) {
        const double x = focusX_ + (p.x - mapX(client, focusX_)) / scale_;
        const double y = focusY_ + (p.y - mapY(client, focusY_)) / scale_;
        return {sat32(int64_t(std::floor(x))), sat32(int64_t(std::floor(y)))};
    }
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
    if (desktop_) {
        return FarPoint{std::llround(mapX(client, p.x)), std::llround(mapY(client, p.y))};
    }
    const int64_t vw = static_cast<int64_t>(viewRight) - viewLeft;
    const int64_t vh = static_cast<int64_t>(viewBottom) - viewTop;
    if (vw == 0 || vh == 0) return std::nullopt;
    const int64_t cw = static_cast<int64_t>(client.right) - client.left;
    const int64_t ch = static_cast<int64_t>(client.bottom) - client.top;
    return FarPoint{client.left + ((static_cast<int64_t>(p.x) - viewLeft) * cw) / vw,
                    client.top + ((static_cast<int64_t>(p.y) - viewTop) * ch) / vh};
}

std::optional<IntPoint> CViewport::planToClient(const EdgeRect& client, IntPoint p) const {
    if (desktop_) {
        const auto far = planToClientUnbounded(client, p);
        if (far->x < client.left || far->x > client.right || far->y < client.top ||
            far->y > client.bottom)
            return std::nullopt;
        return IntPoint{sat32(far->x), sat32(far->y)};
    }
    if (p.x < viewLeft || p.x > viewRight || p.y < viewTop || p.y > viewBottom) {
        return std::nullopt;
    }
    const auto far = planToClientUnbounded(client, p);
    if (!far) return std::nullopt;
    // Inside the view the result lies within the client rectangle, so it fits 32 bits.
    return IntPoint{sat32(far->x), sat32(far->y)};
}

BlitRects CViewport::computeBlit(const EdgeRect& client) const {
    if (desktop_) return computeMapBlit(client);
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

// ---- the desktop map ----

void CViewport::beginDesktopMap() {
    if (desktop_) return;
    desktop_ = true;
    scale_ = zoom_;
    setFocus(centreX_, centreY_);
}

int32_t CViewport::zoomPercent() const {
    return desktop_ ? int32_t(std::lround(scale_ * 100)) : zoom_ * 100;
}

EdgeRect CViewport::mapRoom(const EdgeRect& client) {
    EdgeRect room{client.left + kMapMarginLeft, client.top + kMapMarginTop, client.right,
                  client.bottom - kMapMarginBottom};
    // A client too small for the margins is all room.
    return room.width() > 0 && room.height() > 0 ? room : client;
}

double CViewport::wholePlanScale(const EdgeRect& client) const {
    const EdgeRect room = mapRoom(client);
    if (maxX <= minX || maxY <= minY || room.width() <= 0 || room.height() <= 0) return 1;
    const double fit = std::min(double(room.width()) / (double(maxX) - minX),
                                double(room.height()) / (double(maxY) - minY));
    return std::min(fit, double(kMaxZoom));
}

void CViewport::showWholePlan(const EdgeRect& client) {
    scale_ = wholePlanScale(client);
    // The plan's middle at the room's middle, which lies off the client's by the margins.
    const EdgeRect room = mapRoom(client);
    const double offX = (room.left + room.right - client.left - client.right) / 2.0;
    const double offY = (room.top + room.bottom - client.top - client.bottom) / 2.0;
    setFocus((double(minX) + maxX) / 2 - offX / scale_, (double(minY) + maxY) / 2 - offY / scale_);
}

void CViewport::zoomMapAbout(double factor, const EdgeRect& client, IntPoint at) {
    const double lowest = std::min(1.0, wholePlanScale(client));
    const double scale = std::clamp(scale_ * factor, lowest, double(kMaxZoom));
    // The plan point under `at` before and after is the same.
    const double planX = focusX_ + (at.x - mapX(client, focusX_)) / scale_;
    const double planY = focusY_ + (at.y - mapY(client, focusY_)) / scale_;
    scale_ = scale;
    setFocus(planX - (at.x - mapX(client, focusX_)) / scale_,
             planY - (at.y - mapY(client, focusY_)) / scale_);
}

void CViewport::panMap(int32_t dx, int32_t dy) {
    setFocus(focusX_ + dx / scale_, focusY_ + dy / scale_);
}

// The focus stays on the plan, as the centre does; the centre is the plan pixel under it.
void CViewport::setFocus(double x, double y) {
    focusX_ = std::clamp(x, double(minX), double(std::max(minX, maxX)));
    focusY_ = std::clamp(y, double(minY), double(std::max(minY, maxY)));
    centreX_ = sat32(int64_t(std::floor(focusX_)));
    centreY_ = sat32(int64_t(std::floor(focusY_)));
    recentreX();
    recentreY();
}

// Where a plan coordinate lands on the client: the focus at the client's middle.
double CViewport::mapX(const EdgeRect& client, double planX) const {
    return client.left + client.width() / 2 + (planX - focusX_) * scale_;
}

double CViewport::mapY(const EdgeRect& client, double planY) const {
    return client.top + client.height() / 2 + (planY - focusY_) * scale_;
}

// The plan pixels that reach into the client, onto where the mapping puts their edges.
BlitRects CViewport::computeMapBlit(const EdgeRect& client) const {
    if (client.width() <= 0 || client.height() <= 0) return {};
    const IntPoint first = clientToPlan(client, {client.left, client.top});
    const IntPoint last = clientToPlan(client, {client.right, client.bottom});
    BlitRects r;
    r.source = {std::max(first.x, minX), std::max(first.y, minY),
                std::min(sat32(int64_t{last.x} + 1), maxX),
                std::min(sat32(int64_t{last.y} + 1), maxY)};
    if (r.source.width() <= 0 || r.source.height() <= 0) return {};
    const auto from = planToClientUnbounded(client, {r.source.left, r.source.top});
    const auto to = planToClientUnbounded(client, {r.source.right, r.source.bottom});
    r.destination = {sat32(from->x), sat32(from->y), sat32(to->x), sat32(to->y)};
    if (r.destination.width() <= 0 || r.destination.height() <= 0) return {};
    return r;
}

} // namespace walkmere
