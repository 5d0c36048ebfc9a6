#pragma once

#include <QLocale>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "app/model/features/phone_app.h"

namespace velmora::prefs {

// The notification filter as the preferences read it: the default and the per-app choices.
struct NotifFilter {
    bool notifDefault = true;
    std::map<std::string, bool> overrides;  // package -> shown
};

// The app's own choice when it has one, else the default.
bool shows(const NotifFilter& filter, const std::string& pkg);

// How many of `apps` (all of them, not only those listed) show their notifications.
int countOn(const std::vector<PhoneApp>& apps, const NotifFilter& filter);

// `text` without the spaces and tabs at either end (every Unicode space separator counts); line breaks stay.
QString trimHorizontal(const QString& text);

// `text` folded for search: diacritics dropped, case folded, the same in every locale.
QString foldForSearch(const QString& text);

// The apps to list for a search: sorted by name with `locale`'s collation, case-insensitive and stable (equal
// names keep the model's order), then those whose folded name contains the folded, trimmed query. An empty
// or blank query lists every app. The package is never searched.
std::vector<PhoneApp> shownApps(const std::vector<PhoneApp>& apps, const QString& query,
                                const QLocale& locale);

// What the "all on" and "all off" buttons change: with a blank query the default (and every app's own choice
// goes), else only the listed apps, in list order.
struct ShownChange {
    bool wholeFilter = false;
    std::vector<std::string> pkgs;  // when not wholeFilter
};
ShownChange shownChange(const std::vector<PhoneApp>& apps, const QString& query, const QLocale& locale);

// The app's monogram: its name's first character, upper-cased; empty for an empty name.
QString monogram(const QString& name);

}  // namespace velmora::prefs
