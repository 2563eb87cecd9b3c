// The windowed program.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("Stanset 1.23");
    label.show();
    return app.exec();
}
