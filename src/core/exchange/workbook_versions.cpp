#include "core/exchange/workbook_versions.h"

#include <freexl.h>
#include <gsf/gsf-utils.h>
#include <libxml/parser.h>
#include <xlsxwriter.h>
#include <zlib.h>

namespace velsend::exchange {

std::string WorkbookLibraries() {
    const std::string gsf = std::to_string(libgsf_major_version) + "." +
                            std::to_string(libgsf_minor_version) + "." +
                            std::to_string(libgsf_micro_version);
    // libxml2 reports its version as one number: 20914 is 2.9.14.
    const int xml = std::stoi(xmlParserVersion);
    const std::string xml2 = std::to_string(xml / 10000) + "." + std::to_string(xml / 100 % 100) +
                             "." + std::to_string(xml % 100);
    return std::string("libfreexl ") + freexl_version() + "、libgsf " + gsf + "（读 .xls），" +
           "libxml2 " + xml2 + "、zlib " + zlibVersion() + "（读 .xlsx/.ods），" +
           "libxlsxwriter " + lxw_version() + "（写 .xlsx）";
}

}  // namespace velsend::exchange
