// The demo survey's report opened in a real browser (headless Chromium): the page lays out,
// every picture inside it decodes and shows what the report put there, and the browser
// fetches nothing for it from the network. The screenshot is kept in the build folder's
// artifacts/ as report-in-chromium.png, beside the page itself (demo-report.html).
#include "demo_survey.h"
#include "testkit/SiteToolTesting.h"

#include "image/PngReader.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace walkmere {
namespace {

using namespace sitetooltest;
namespace fs = std::filesystem;

// Tall enough for the whole demo report (six maps, the tables, the signature) with
// room for one more network's map; the test says so when the page no longer fits.
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 8800;
constexpr auto kBrowserLimit = std::chrono::seconds(60);

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The browser, as CI installs it (scripts/bootstrap); empty when it is not there.
std::string chromiumProgram() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/chromium").c_str(), X_OK) == 0)
            return dir + "/chromium";
    return "";
}

struct BrowserRun {
    int exitCode = -1; // -1: killed after the time limit, or no exit of its own
    double seconds = 0;
    std::string log; // what it wrote on stdout and stderr
};

// Runs Chromium on `page` in its own process group with a fresh profile and HOME under
// `work`; a browser that outlives kBrowserLimit is killed with its whole group.
BrowserRun renderInChromium(const std::string& program, const fs::path& page,
                            const fs::path& screenshot, const fs::path& netLog,
                            const fs::path& work) {
    const fs::path profile = work / "profile", home = work / "home", log = work / "chromium.log";
    fs::create_directories(profile);
    fs::create_directories(home);
    std::vector<std::string> args = {
        program, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--disable-extensions", "--disable-features=NetworkTimeServiceQuerying",
        "--hide-scrollbars", "--force-device-scale-factor=1",
        // Every name lookup fails: whatever asks for the network gets no answer.
        "--host-resolver-rules=MAP * ~NOTFOUND", "--log-net-log=" + netLog.string(),
        "--user-data-dir=" + profile.string(),
        "--window-size=" + std::to_string(kWindowWidth) + "," + std::to_string(kWindowHeight),
        "--screenshot=" + screenshot.string(), "file://" + page.string()};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("HOME=", 0) != 0) env.emplace_back(*e);
    env.push_back("HOME=" + home.string());
    std::vector<char*> argp, envp;
    for (std::string& a : args)
        argp.push_back(a.data());
    for (std::string& e : env)
        envp.push_back(e.data());
    argp.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);

    BrowserRun run;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        run.log = "cannot start " + program + ": " + std::strerror(rc);
        return run;
    }
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() - started > kBrowserLimit) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (status != -1 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.log = readText(log);
    return run;
}

// One <img> of the page: its class, its picture decoded from the data: URI, and the size it
// is shown at (its width and height attributes, else the picture's own).
struct PageImage {
    std::string cls;
    std::string problem; // why the picture could not be read back from the page
    RgbImage picture;
    int width = 0, height = 0;
};

// The value of `name`="..." or name=... in one tag; empty when the tag has none.
std::string attribute(const std::string& tag, const std::string& name) {
    const size_t at = tag.find(" " + name + "=");
    if (at == std::string::npos) return "";
    const size_t from = at + name.size() + 2;
    if (tag[from] == '"') return tag.substr(from + 1, tag.find('"', from + 1) - from - 1);
    return tag.substr(from, tag.find_first_of(" >", from) - from);
}

std::vector<PageImage> imagesOf(const std::string& html) {
    std::vector<PageImage> images;
    const std::string png = "data:image/png;base64,";
    for (size_t at = html.find("<img "); at != std::string::npos; at = html.find("<img ", at + 1)) {
        const std::string tag = html.substr(at, html.find('>', at) + 1 - at);
        PageImage image;
        image.cls = attribute(tag, "class");
        const std::string src = attribute(tag, "src");
        if (src.rfind(png, 0) != 0) {
            image.problem = "no PNG data: URI";
        } else {
            const QByteArray bytes =
                QByteArray::fromBase64(QByteArray::fromStdString(src.substr(png.size())),
                                       QByteArray::AbortOnBase64DecodingErrors);
            image.problem = decodePng(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                      size_t(bytes.size()), image.picture);
        }
        const std::string width = attribute(tag, "width"), height = attribute(tag, "height");
        image.width = width.empty() ? image.picture.width : std::stoi(width);
        image.height = height.empty() ? image.picture.height : std::stoi(height);
        images.push_back(std::move(image));
    }
    return images;
}

struct Rgb {
    int r, g, b;
};

Rgb pixel(const RgbImage& img, int x, int y) {
    const uint8_t* p = img.at(x, y);
    return {p[0], p[1], p[2]};
}

bool isBorder(Rgb c) { // #666, the border every picture of the report has
    return std::abs(c.r - 0x66) <= 3 && std::abs(c.g - 0x66) <= 3 && std::abs(c.b - 0x66) <= 3;
}

bool isWhite(Rgb c) {
    return c.r > 245 && c.g > 245 && c.b > 245;
}

struct Box {
    int x, y, width, height; // the inside of the border
};

// Every rectangle of #666 lines in the screenshot, top to bottom, as the area inside it.
std::vector<Box> borderedBoxes(const RgbImage& shot) {
    auto border = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < shot.width && y < shot.height && isBorder(pixel(shot, x, y));
    };
    std::vector<Box> boxes;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            if (!border(x, y) || border(x - 1, y) || border(x, y - 1)) continue;
            int w = 0, h = 0;
            while (border(x + w, y))
                ++w;
            while (border(x, y + h))
                ++h;
            if (w < 16 || h < 16) continue;
            bool closed = true;
            for (int i = 0; i < h && closed; ++i)
                closed = border(x + w - 1, y + i);
            for (int i = 0; i < w && closed; ++i)
                closed = border(x + i, y + h - 1);
            if (closed) boxes.push_back({x + 1, y + 1, w - 2, h - 2});
        }
    return boxes;
}

// What is wrong with the pictures as the browser drew them: each <img> of the page must have
// its bordered box, at the size the page gives it, showing the picture the page holds (a
// picture that did not decode is a small box with an icon and its alt text on white).
std::vector<std::string> pictureProblems(const RgbImage& shot,
                                         const std::vector<PageImage>& images) {
    std::vector<std::string> problems;
    const std::vector<Box> boxes = borderedBoxes(shot);
    if (boxes.size() != images.size())
        problems.push_back(std::to_string(boxes.size()) + " bordered boxes on the screen for " +
                           std::to_string(images.size()) + " <img> in the page");
    for (size_t i = 0; i < std::min(boxes.size(), images.size()); ++i) {
        const Box& box = boxes[i];
        const PageImage& image = images[i];
        const std::string which = "picture " + std::to_string(i + 1) + " (" + image.cls + ")";
        if (!image.problem.empty()) {
            problems.push_back(which + ": the page's own data does not decode: " + image.problem);
            continue;
        }
        if (box.width != image.width || box.height != image.height) {
            problems.push_back(which + " is shown " + std::to_string(box.width) + " x " +
                               std::to_string(box.height) + ", not " + std::to_string(image.width) +
                               " x " + std::to_string(image.height));
            continue;
        }
        // Pixel by pixel against the picture, scaled by nearest neighbour as shown.
        size_t same = 0, white = 0, coloured = 0, pictureWhite = 0;
        const size_t all = size_t(box.width) * size_t(box.height);
        for (int y = 0; y < box.height; ++y)
            for (int x = 0; x < box.width; ++x) {
                const Rgb s = pixel(shot, box.x + x, box.y + y);
                const Rgb p = pixel(image.picture, x * image.picture.width / box.width,
                                    y * image.picture.height / box.height);
                same += std::abs(s.r - p.r) <= 8 && std::abs(s.g - p.g) <= 8 &&
                        std::abs(s.b - p.b) <= 8;
                white += isWhite(s);
                pictureWhite += isWhite(p);
                coloured += std::max({s.r, s.g, s.b}) - std::min({s.r, s.g, s.b}) > 60;
            }
        if (white == all && pictureWhite < all) problems.push_back(which + " is blank");
        if (same < all * 99 / 100)
            problems.push_back(which + ": only " + std::to_string(same) + " of " +
                               std::to_string(all) + " pixels match the picture in the page");
        // A coverage map is mostly the colours of the signal, not the grey plan.
        if (image.cls == "map" && coloured < all / 10)
            problems.push_back(which + ": only " + std::to_string(coloured) + " of " +
                               std::to_string(all) + " pixels in the map's colours");
    }
    return problems;
}

// What the net log shows of the network: the URLs other than file: and data: that the page
// asked for (any request the browser made on the page's behalf), the browser's own, and any
// request that got an answer. (file: and data: do not go through the network stack now.)
struct NetworkUse {
    std::vector<std::string> pageRequests;
    std::vector<std::string> browserRequests; // the browser's own: update checks, sign-in
    std::vector<std::string> answered;        // requests of either kind that did not fail
    std::string problem;
};

NetworkUse networkUse(const fs::path& netLog) {
    NetworkUse use;
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(readText(netLog)), &error);
    if (!doc.isObject()) {
        use.problem = netLog.string() + " is not JSON: " + error.errorString().toStdString();
        return use;
    }
    const QJsonObject types = doc.object()["constants"].toObject()["logEventTypes"].toObject();
    const int startJob = types["URL_REQUEST_START_JOB"].toInt(-1);
    const int end =
        doc.object()["constants"].toObject()["logEventPhase"].toObject()["PHASE_END"].toInt(-1);
    if (startJob < 0 || end < 0 || !doc.object()["events"].isArray()) {
        use.problem = netLog.string() + " has no URL request events to read";
        return use;
    }
    std::map<int, std::string> urlOfRequest;
    for (const QJsonValue& v : doc.object()["events"].toArray()) {
        const QJsonObject event = v.toObject();
        if (event["type"].toInt() != startJob) continue;
        const int id = event["source"].toObject()["id"].toInt();
        const QJsonObject params = event["params"].toObject();
        if (params.contains("url")) {
            const std::string url = params["url"].toString().toStdString();
            urlOfRequest[id] = url;
            if (url.rfind("file:", 0) == 0 || url.rfind("data:", 0) == 0) continue;
            // The browser's own requests come from no origin; the page's from its own
            // (a file: page's origin is opaque: "null").
            if (params["initiator"].toString() == "not an origin")
                use.browserRequests.push_back(url);
            else
                use.pageRequests.push_back(url);
        } else if (event["phase"].toInt() == end && params["net_error"].toInt() == 0) {
            use.answered.push_back(urlOfRequest[id]); // the end of a job without an error
        }
    }
    return use;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines)
        all += "\n  " + line.substr(0, 160);
    return all;
}

struct Rendered {
    BrowserRun run;
    RgbImage shot;
    std::string shotProblem;
    NetworkUse network;
};

Rendered render(const std::string& chromium, const fs::path& page, const fs::path& shotFile,
                const fs::path& work) {
    Rendered r;
    const fs::path netLog = work / "net-log.json";
    r.run = renderInChromium(chromium, page, shotFile, netLog, work);
    if (fs::exists(shotFile)) {
        const auto png = testkit::readFileBytes(shotFile);
        r.shotProblem = decodePng(png.data(), png.size(), r.shot);
    } else {
        r.shotProblem = "no screenshot was written";
    }
    r.network = fs::exists(netLog) ? networkUse(netLog) : NetworkUse{{}, {}, {}, "no net log"};
    return r;
}

TEST(ReportInBrowser, DemoReportShowsEveryPictureAndFetchesNothing) {
    const std::string chromium = chromiumProgram();
    ASSERT_FALSE(chromium.empty()) << "chromium is not installed (scripts/bootstrap installs it); "
                                      "this test opens the report in it";
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir);
    const fs::path page = dir.file("report.html");
    ToolRun report = runTool({"report", site, "-o", page.string(), "--title", "Office survey",
                              "--client", "Walkmere & Sons", "--surveyor", "A. Surveyor", "--floor",
                              "Ground floor", "--ssid", "office", "--ssid", "guest"});
    ASSERT_EQ(report.code, 0) << report.err;
    const std::string html = readText(page);
    // What the client reads: the title page, the profile's summary, the inventory, areas in
    // m² and a map per band of each network named.
    for (const char* shown :
         {"<h1>Office survey</h1>", "<td>Walkmere &amp; Sons</td>", "<h2>Ground floor</h2>",
          "<h3>Summary: the data profile</h3>", "<table class=inventory>", " m\u00b2<",
          "<h4>Network office 2.4 GHz</h4>", "<h4>Network guest 2.4 GHz</h4>"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    fs::copy_file(page, demosurvey::artifactsFolder() / "demo-report.html",
                  fs::copy_options::overwrite_existing);
    const std::vector<PageImage> images = imagesOf(html);
    ASSERT_EQ(images.size(), count(html, "<img"));
    ASSERT_GE(images.size(), 3u) << "a map of all access points, one per network, the signature";

    const fs::path shotFile = demosurvey::artifactsFolder() / "report-in-chromium.png";
    fs::remove(shotFile);
    fs::create_directories(dir.file("good"));
    const Rendered good = render(chromium, page, shotFile, dir.file("good"));
    ASSERT_EQ(good.run.exitCode, 0) << "chromium failed or hung (" << good.run.seconds << " s):\n"
                                    << good.run.log;
    ASSERT_EQ(good.shotProblem, "");
    std::cout << "chromium took " << good.run.seconds << " s\n";

    // The page laid out: the window's size, not blank, the heading's dark text at the top,
    // and the page ends inside the window (the bottom rows are white).
    const RgbImage& shot = good.shot;
    ASSERT_EQ(shot.width, kWindowWidth);
    ASSERT_EQ(shot.height, kWindowHeight);
    size_t darkAtTop = 0, nonWhite = 0, nonWhiteAtBottom = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const Rgb c = pixel(shot, x, y);
            darkAtTop += y < 100 && c.r < 80 && c.g < 80 && c.b < 80;
            nonWhite += !isWhite(c);
            nonWhiteAtBottom += y >= shot.height - 50 && !isWhite(c);
        }
    EXPECT_GT(darkAtTop, 300u) << "no heading at the top of the page";
    EXPECT_GT(nonWhite, size_t(shot.width) * 200) << "the page is (nearly) blank";
    EXPECT_EQ(nonWhiteAtBottom, 0u) << "the page runs past the window: raise kWindowHeight";

    const std::vector<std::string> problems = pictureProblems(shot, images);
    EXPECT_TRUE(problems.empty()) << joined(problems);

    ASSERT_EQ(good.network.problem, "");
    EXPECT_TRUE(good.network.pageRequests.empty())
        << "the page fetched from the network:" << joined(good.network.pageRequests);
    EXPECT_TRUE(good.network.answered.empty())
        << "requests got through the failing name lookups:" << joined(good.network.answered);
    if (!good.network.browserRequests.empty())
        std::cout << "the browser's own requests (all refused by the lookup rule):"
                  << joined(good.network.browserRequests) << "\n";

    // The same page with two coverage maps damaged and a stylesheet from the network: the
    // first map's PNG no longer starts as one (the browser shows a broken-image box), the
    // second loses bytes inside its compressed pixels (drawn at its size, but wrong). The
    // checks above must see each, and only those.
    std::string damaged = html;
    const size_t first = damaged.find("base64,");
    const size_t second = damaged.find("base64,", first + 1);
    ASSERT_NE(second, std::string::npos);
    damaged.replace(first + 7, 8, "AAAAAAAA");
    const size_t secondLength = damaged.find('"', second) - second;
    damaged.replace(second + secondLength / 2 / 4 * 4, 64, std::string(64, 'A'));
    damaged.replace(damaged.find("</head>"), 0,
                    "<link rel=stylesheet href=\"http://walkmere.invalid/report.css\">");
    const fs::path damagedPage = dir.file("damaged.html");
    { std::ofstream(damagedPage, std::ios::binary) << damaged; }
    fs::create_directories(dir.file("damaged"));
    const Rendered bad =
        render(chromium, damagedPage, dir.file("damaged/shot.png"), dir.file("damaged"));
    ASSERT_EQ(bad.run.exitCode, 0) << bad.run.log;
    ASSERT_EQ(bad.shotProblem, "");
    const std::vector<std::string> badProblems = pictureProblems(bad.shot, images);
    std::cout << "with two maps damaged:" << joined(badProblems) << "\n";
    const std::string found = joined(badProblems);
    EXPECT_NE(found.find("picture 1 "), std::string::npos) << "a broken picture went unnoticed";
    EXPECT_NE(found.find("picture 2 "), std::string::npos) << "a garbled picture went unnoticed";
    EXPECT_EQ(found.find("picture 3 "), std::string::npos) << found;
    EXPECT_EQ(found.find("picture 4 "), std::string::npos) << found;
    EXPECT_EQ(bad.network.pageRequests,
              std::vector<std::string>{"http://walkmere.invalid/report.css"});
    EXPECT_TRUE(bad.network.answered.empty()) << joined(bad.network.answered);
}

} // namespace
} // namespace walkmere
