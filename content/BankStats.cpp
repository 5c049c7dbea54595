// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/BankStats.h"

#include "base/TextFit.h"

#include <QSet>
#include <algorithm>

namespace BankStats
{

namespace
{
QSet<QString> words(const QString& normalised)
{
    const QStringList list = normalised.split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

double jaccard(const QSet<QString>& a, const QSet<QString>& b)
{
    if (a.isEmpty() && b.isEmpty()) return 1.0;
    qsizetype common = 0;
    for (const QString& w : a)
        common += b.contains(w);
    return double(common) / double(a.size() + b.size() - common);
}
} // namespace

QString Normalised(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (QChar c : text.toLower()) {
        if (c == u'ё') c = u'е';
        if (c.isLetterOrNumber()) {
            if (blank && !out.isEmpty()) out += u' ';
            blank = false;
            out += c;
        } else {
            blank = true; // punctuation parts words like a blank
        }
    }
    return out;
}

double Similarity(const QString& a, const QString& b)
{
    return jaccard(words(a), words(b));
}

std::vector<Duplicate> NearDuplicates(const Bank::QuestionTable& table, double threshold)
{
    struct Entry {
        int level, question;
        QString text;
        QSet<QString> words;
    };
    std::vector<Entry> entries;
    for (int l = 0; l < Bank::kLevels; ++l)
        for (int q : table.playable(l)) {
            QString n = Normalised(table(l, 0, q));
            QSet<QString> w = words(n);
            entries.push_back({l, q, std::move(n), std::move(w)});
        }
    // Jaccard is at most small/large, so only sets of near sizes need comparing.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.words.size() < b.words.size();
    });
    std::vector<Duplicate> found;
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            const Entry &a = entries[i], &b = entries[j];
            if (double(a.words.size()) < threshold * double(b.words.size())) break;
            const double s = a.text == b.text ? 1.0 : jaccard(a.words, b.words);
            if (s < threshold) continue;
            Duplicate d{a.level, a.question, b.level, b.question, s};
            if (std::pair(d.levelB, d.questionB) < std::pair(d.levelA, d.questionA)) {
                std::swap(d.levelA, d.levelB);
                std::swap(d.questionA, d.questionB);
            }
            found.push_back(d);
        }
    std::sort(found.begin(), found.end(), [](const Duplicate& x, const Duplicate& y) {
        return std::tie(x.levelA, x.questionA, x.levelB, x.questionB) <
               std::tie(y.levelA, y.questionA, y.levelB, y.questionB);
    });
    return found;
}

std::vector<TooLong> TooLongToShow(const Bank::QuestionTable& table)
{
    std::vector<TooLong> found;
    for (int l = 0; l < Bank::kLevels && table.hasLevel(l); ++l)
        for (int q : table.playable(l)) {
            const QString text = table(l, 0, q);
            if (!TextFit::QuestionFont(text)) found.push_back({l, q, 0, text});
            for (int f = 1; f <= 4; ++f) {
                const QString answer = table(l, f, q);
                // It may land on any button.
                for (int button = 0; button < 4; ++button)
                    if (!TextFit::AnswerFont(TextFit::AnswerCaption(button, answer))) {
                        found.push_back({l, q, f, answer});
                        break;
                    }
            }
        }
    return found;
}

} // namespace BankStats
