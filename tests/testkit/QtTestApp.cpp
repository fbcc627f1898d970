#include <gtest/gtest.h>

#include <QApplication>

namespace {

// One QApplication for the whole test program: fonts and widgets need it.
class QtApp : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QApplication::instance()) app = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app;
        app = nullptr;
    }

private:
    int argc = 1;
    char name[16] = "walkmere_tests";
    char* argv[2] = {name, nullptr};
    QApplication* app = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApp);

} // namespace
