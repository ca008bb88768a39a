#include "registration/place_names.h"

#include "routines/utility.h"
#include "service/catalogue.h"

namespace cadcons::lookup {

namespace {

// What a column of `width` characters keeps of `text`. A cut right after a word leaves a blank that a
// stored name does not have.
QString cut(QString text, int width) {
    if (width <= 0 || text.size() <= width)
        return text;
    text.truncate(width);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

QString placeKey(const QString& name, int width) {
    return cut(RemoveAcentos(name).simplified().toUpper(), width);
}

bool locatePlace(ClientDataSet& ds, const QString& column, const QString& name) {
    if (EmptyString(name) || ds.isEmpty())
        return false;
    const int width = sql::columnWidth(column);
    const QString key = placeKey(name, width);
    const int rows = ds.recordCount();
    const int saved = ds.recNo();
    int byKey = -1;
    for (int i = 0; i < rows; ++i) {
        ds.setRecNo(i);
        const QString stored = ds.asString(column);
        if (stored == name)
            return true;
        if (byKey < 0 && placeKey(stored, width) == key)
            byKey = i;
    }
    if (byKey >= 0)
        ds.setRecNo(byKey);
    else if (saved >= 0)
        ds.setRecNo(saved);
    return byKey >= 0;
}

QString fitToColumn(const QString& text, const QString& column) {
    return cut(text, sql::columnWidth(column));
}

} // namespace cadcons::lookup
