#include "app/shell/prefs/logic/notif_list.h"

#include <QCollator>
#include <algorithm>

namespace velmora::prefs {

namespace {

bool isHorizontalSpace(char32_t c) {
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

}  // namespace

bool shows(const NotifFilter& filter, const std::string& pkg) {
    const auto it = filter.overrides.find(pkg);
    return it != filter.overrides.end() ? it->second : filter.notifDefault;
}

int countOn(const std::vector<PhoneApp>& apps, const NotifFilter& filter) {
    return static_cast<int>(
        std::ranges::count_if(apps, [&](const PhoneApp& app) { return shows(filter, app.pkg); }));
}

QString trimHorizontal(const QString& text) {
    const QList<uint> points = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = points.size();
    while (begin < end && isHorizontalSpace(char32_t{points[begin]}))
        ++begin;
    while (end > begin && isHorizontalSpace(char32_t{points[end - 1]}))
        --end;
    const QList<uint> kept = points.mid(begin, end - begin);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
}

QString foldForSearch(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QList<uint> kept = decomposed.toUcs4();
    kept.removeIf([](uint c) { return QChar::category(char32_t{c}) == QChar::Mark_NonSpacing; });
    const QString bare = QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
    return bare.toCaseFolded().normalized(QString::NormalizationForm_C);
}

std::vector<PhoneApp> shownApps(const std::vector<PhoneApp>& apps, const QString& query,
                                const QLocale& locale) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QString, const PhoneApp*>> sorted;
    sorted.reserve(apps.size());
    for (const auto& app : apps)
        sorted.emplace_back(QString::fromStdString(app.name), &app);
    std::ranges::stable_sort(
        sorted, [&](const auto& a, const auto& b) { return collator.compare(a.first, b.first) < 0; });
    const QString folded = foldForSearch(trimHorizontal(query));
    std::vector<PhoneApp> shown;
    for (const auto& [name, app] : sorted)
        if (folded.isEmpty() || foldForSearch(name).contains(folded)) shown.push_back(*app);
    return shown;
}

ShownChange shownChange(const std::vector<PhoneApp>& apps, const QString& query, const QLocale& locale) {
    if (trimHorizontal(query).isEmpty()) return {true, {}};
    ShownChange change;
    for (const auto& app : shownApps(apps, query, locale))
        change.pkgs.push_back(app.pkg);
    return change;
}

QString monogram(const QString& name) {
    if (name.isEmpty()) return {};
    const char32_t first = name.toUcs4().constFirst();
    return QString::fromUcs4(&first, 1).toUpper();
}

}  // namespace velmora::prefs
