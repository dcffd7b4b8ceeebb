#include "bankservice_p.h"

#include "codetextconverter.h"

using nlohmann::json;
using namespace bankservice;

json BankService::transferXml(const Call &call)
{
    const json &xmls = arrayMember(call.body, "xmls");
    if (xmls.size() > 2000)
        badRequest("xmls 一次最多2000项");
    const CodeTextConverter converter(call.baseUrl);
    json html = json::array();
    for (size_t i = 0; i < xmls.size(); ++i) {
        if (!xmls[i].is_string())
            badRequest("xmls[" + std::to_string(i) + "] 必须是字符串");
        html.push_back(converter.toHtml(xmls[i].get<std::string>()));
    }
    return ok(html);
}
