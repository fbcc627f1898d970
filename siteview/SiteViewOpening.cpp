#include "siteview/SiteViewOpening.h"

#include <QImage>
#include <QImageReader>

#include <algorithm>

#include "platform/Prompter.h"
#include "siteview/SiteView.h"
#include "survey/BmpInfo.h"
#include "survey/OpenSiteCommand.h"

namespace walkmere {

namespace {

constexpr int kPlanAllocationLimitMb = static_cast<int>((4 * kMaxPlanPixels >> 20) + 1);

// The view's side of the open flow.
class SiteViewOpening final : public ISiteOpenView {
public:
    explicit SiteViewOpening(CSiteView& v) : view(v) {}

    void siteAccepted(const std::string& path) override {
        view.openedPath = QString::fromStdString(path);
        // The old plan goes with the old site, also when the new one has none.
        view.floorPlan = QImage();
        view.viewport().reset();
    }

    bool loadFloorPlan(const std::string& bitmapPath) override {
        // Qt refuses pictures above 256 MB by default; the decoding has already kept the plan
        // within kMaxPlanPixels, which at 4 bytes a pixel (how Qt holds a 24-bit picture)
        // takes up to 400 MB.
        QImageReader::setAllocationLimit(kPlanAllocationLimitMb);
        QImageReader reader(QString::fromStdString(bitmapPath), "BMP");
        QImage plan = reader.read();
        if (plan.isNull()) return false;
        view.floorPlan = std::move(plan);
        return true;
    }

    void siteReady() override {
        view.siteOpen = true;
        const int planWidth = view.floorPlan.isNull() ? 0 : view.floorPlan.width();
        const int planHeight = view.floorPlan.isNull() ? 0 : view.floorPlan.height();
        const int side = view.initialViewSide();
        CViewport& viewport = view.viewport();
        viewport.setBounds(planWidth, planHeight);
        viewport.initView(side, side);
        view.setScrollRanges(planWidth, planHeight);
        view.syncForm(true);
    }

    void redraw() override { view.repaintNow(); }

private:
    CSiteView& view;
};

// Answers the file dialog with a path chosen elsewhere; passes everything else on.
class PresetFilePrompter final : public IPrompter {
public:
    PresetFilePrompter(IPrompter& inner, std::string path) : inner(inner), path(std::move(path)) {}

    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        inner.showMessage(text, caption, icon);
    }
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption) override {
        return inner.askYesNo(text, caption);
    }
    std::optional<std::string> askOpenFile(const FileDialogRequest&) override { return path; }
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override {
        return inner.askSaveFile(request);
    }
    void beginWaitCursor() override { inner.beginWaitCursor(); }
    void endWaitCursor() override { inner.endWaitCursor(); }

private:
    IPrompter& inner;
    std::string path;
};

} // namespace

bool openSiteInView(CSiteView& view, CSurveyStore& store, IPrompter& prompter, ISoundPlayer& sound,
                    const std::optional<std::string>& path) {
    SiteViewOpening opening(view);
    if (!path) return runOpenSiteCommand(prompter, sound, store, opening);
    PresetFilePrompter preset(prompter, *path);
    return runOpenSiteCommand(preset, sound, store, opening);
}

} // namespace walkmere
