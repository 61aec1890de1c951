#include "archive/AnalyzerKey.h"

std::string analyzerKey(Archive &archive, const std::string &serial, const std::string &model,
                        const std::string &link)
{
    const std::string key = serial.empty() ? link : serial;
    const std::optional<AnalyzerIdentity> kept = archive.analyzer(key);
    if (!kept || kept->model.empty() || model.empty() || kept->model == model)
        return key;
    return key + " (" + model + ")";
}
