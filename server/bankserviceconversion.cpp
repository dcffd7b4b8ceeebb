#include "bankservice_p.h"

#include "codetextconverter.h"

using nlohmann::json;
using namespace bankservice;

json BankService::transferXml(const Call &call)
{
    const json &xmls = arrayMember(call.body, "xmls");
    // the stem, and per sub-question its content, options, answers and analysis
    constexpr size_t maxTexts = 1 + MaxQuestions * (2 + MaxOptions + MaxAnswers);
    if (xmls.size() > maxTexts)
        badRequest("xmls 一次最多" + std::to_string(maxTexts) + "项");
    const CodeTextConverter converter(call.baseUrl);
    json html = json::array();
    for (size_t i = 0; i < xmls.size(); ++i) {
        if (!xmls[i].is_string())
            badRequest("xmls[" + std::to_string(i) + "] 必须是字符串");
        html.push_back(converter.toHtml(xmls[i].get<std::string>()));
    }
    return ok(html);
}
