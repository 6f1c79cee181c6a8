// Readable GoogleTest failure messages for Qt values.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QSizeF& size, std::ostream* out) {
    *out << size.width() << " x " << size.height();
}

inline void PrintTo(const QSize& size, std::ostream* out) {
    *out << size.width() << " x " << size.height();
}
