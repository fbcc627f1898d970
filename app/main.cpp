#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("Walkmere");
    label.resize(240, 268);
    label.show();
    return app.exec();
}
