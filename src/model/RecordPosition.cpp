#include "model/RecordPosition.h"

std::string recordPosition(int area, int index)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[area >> 4 & 0xF],   digits[area & 0xF],       '-',
            digits[index >> 12 & 0xF], digits[index >> 8 & 0xF], digits[index >> 4 & 0xF],
            digits[index & 0xF]};
}
