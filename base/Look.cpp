// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Look.h"

#include <QTextLayout>
#include <cmath>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace Look
{

QFont font(double points, bool bold)
{
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name : {"Arial", "Liberation Sans", "Arimo"})
            if (families.contains(QString::fromLatin1(name), Qt::CaseInsensitive))
                return QString::fromLatin1(name);
        return QStringLiteral("Sans Serif");
    }();
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void paint(QWidget* widget, const QColor& background, const QColor& text)
{
    QPalette pal = widget->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        pal.setColor(role, background);
    if (text.isValid())
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            pal.setColor(role, text);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void fixClientSize(QWidget* window, int widthTwips, int heightTwips)
{
    window->setFixedSize(px(widthTwips), px(heightTwips));
}

void centre(QWidget* window, const QWidget* owner)
{
    QRect area;
    if (owner && owner->isVisible())
        area = owner->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty()) return;
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

qreal wrappedHeight(const QString& text, const QFont& font, qreal width, QTextOption::WrapMode wrap)
{
    QTextOption option;
    option.setWrapMode(wrap);
    qreal height = 0;
    for (const QString& paragraph : text.split(u'\n')) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            height += std::ceil(line.height());
        }
        layout.endLayout();
    }
    return height;
}

} // namespace Look
