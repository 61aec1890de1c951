#include "text/GridCsv.h"

#include "text/CodePage1254.h"

QByteArray gridToCsv(int rows, int columns, const std::function<QString(int, int)> &cell)
{
    QString text;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            text += cell(row, column);
            text += QLatin1Char(';');
        }
        text += QLatin1Char('\n');
    }
    return encode1254(text);
}
