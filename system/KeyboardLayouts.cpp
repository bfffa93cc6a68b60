#include "system/KeyboardLayouts.h"

#include <array>

#include "core/TextUtil.h"

namespace kvl {

namespace {

constexpr std::array<LayoutName, 259> kLayoutNames{{
    // Special layouts.
    {"Neutral", "0000"}, {"UserDefault", "0400"}, {"SystemDefault", "0800"},
    // Culture names.
    {"af-ZA", "0436"}, {"sq-AL", "041c"}, {"gsw-FR", "0484"}, {"am-ET", "045e"}, {"ar-SA", "0401"}, {"ar-IQ", "0801"},
    {"ar-EG", "0c01"}, {"ar-LY", "1001"}, {"ar-DZ", "1401"}, {"ar-MA", "1801"}, {"ar-TN", "1c01"}, {"ar-OM", "2001"},
    {"ar-YE", "2401"}, {"ar-SY", "2801"}, {"ar-JO", "2c01"}, {"ar-LB", "3001"}, {"ar-KW", "3401"}, {"ar-AE", "3801"},
    {"ar-BH", "3c01"}, {"ar-QA", "4001"}, {"hy-AM", "042b"}, {"as-IN", "044d"}, {"az-AZ-Latn", "042c"},
    {"az-AZ-Cyrl", "082c"}, {"ba-RU", "046d"}, {"eu-ES", "042d"}, {"be-BY", "0423"}, {"bn-IN", "0445"},
    {"bs-BA-Cyrl", "201a"}, {"bs-BA-Latn", "141a"}, {"br-FR", "047e"}, {"bg-BG", "0402"}, {"ca-ES", "0403"},
    {"zh-CHS", "0004"}, {"zh-TW", "0404"}, {"zh-CN", "0804"}, {"zh-HK", "0c04"}, {"zh-SG", "1004"}, {"zh-MO", "1404"},
    {"zh-CHT", "7c04"}, {"co-FR", "0483"}, {"hr-HR", "041a"}, {"hr-BA", "101a"}, {"cs-CZ", "0405"}, {"da-DK", "0406"},
    {"gbz-AF", "048c"}, {"div-MV", "0465"}, {"nl-NL", "0413"}, {"nl-BE", "0813"}, {"en-US", "0409"},
    {"en-GB", "0809"}, {"en-AU", "0c09"}, {"en-CA", "1009"}, {"en-NZ", "1409"}, {"en-IE", "1809"}, {"en-ZA", "1c09"},
    {"en-JA", "2009"}, {"en-CB", "2409"}, {"en-BZ", "2809"}, {"en-TT", "2c09"}, {"en-ZW", "3009"}, {"en-PH", "3409"},
    {"en-IN", "4009"}, {"en-MY", "4409"}, {"en-SG", "4809"}, {"et-EE", "0425"}, {"fo-FO", "0438"}, {"fil-PH", "0464"},
    {"fi-FI", "040b"}, {"fr-FR", "040c"}, {"fr-BE", "080c"}, {"fr-CA", "0c0c"}, {"fr-CH", "100c"}, {"fr-LU", "140c"},
    {"fr-MC", "180c"}, {"fy-NL", "0462"}, {"gl-ES", "0456"}, {"ka-GE", "0437"}, {"de-DE", "0407"}, {"de-CH", "0807"},
    {"de-AT", "0c07"}, {"de-LU", "1007"}, {"de-LI", "1407"}, {"el-GR", "0408"}, {"kl-GL", "046f"}, {"gu-IN", "0447"},
    {"ha-NG-Latn", "0468"}, {"he-IL", "040d"}, {"hi-IN", "0439"}, {"hu-HU", "040e"}, {"is-IS", "040f"},
    {"id-ID", "0421"}, {"iu-CA-Cans", "045d"}, {"iu-CA-Latn", "085d"}, {"ga-IE", "083c"}, {"xh-ZA", "0434"},
    {"zu-ZA", "0435"}, {"it-IT", "0410"}, {"it-CH", "0810"}, {"ja-JP", "0411"}, {"kn-IN", "044b"}, {"kk-KZ", "043f"},
    {"kh-KH", "0453"}, {"qut-GT", "0486"}, {"rw-RW", "0487"}, {"kok-IN", "0457"}, {"ko-KR", "0412"},
    {"ky-KG", "0440"}, {"lo-LA", "0454"}, {"lv-LV", "0426"}, {"lt-LT", "0427"}, {"wee-DE", "082e"}, {"lb-LU", "046e"},
    {"mk-MK", "042f"}, {"ms-MY", "043e"}, {"ms-BN", "083e"}, {"ml-IN", "044c"}, {"mt-MT", "043a"}, {"mi-NZ", "0481"},
    {"arn-CL", "047a"}, {"mr-IN", "044e"}, {"moh-CA", "047c"}, {"mn-MN", "0450"}, {"mn-CN", "0850"},
    {"ne-NP", "0461"}, {"nb-NO", "0414"}, {"nn-NO", "0814"}, {"oc-FR", "0482"}, {"or-IN", "0448"}, {"ps-AF", "0463"},
    {"fa-IR", "0429"}, {"pl-PL", "0415"}, {"pt-BR", "0416"}, {"pt-PT", "0816"}, {"pa-IN", "0446"}, {"quz-BO", "046b"},
    {"quz-EC", "086b"}, {"quz-PE", "0c6b"}, {"ro-RO", "0418"}, {"rm-CH", "0417"}, {"ru-RU", "0419"},
    {"smn-FI", "243b"}, {"smj-NO", "103b"}, {"smj-SE", "143b"}, {"se-NO", "043b"}, {"se-SE", "083b"},
    {"se-FI", "0c3b"}, {"sms-FI", "203b"}, {"sma-NO", "183b"}, {"sma-SE", "1c3b"}, {"sa-IN", "044f"},
    {"sr-SP-Cyrl", "0c1a"}, {"sr-BA-Cyrl", "1c1a"}, {"sr-SP-Latn", "081a"}, {"sr-BA-Latn", "181a"}, {"ns-ZA", "046c"},
    {"tn-ZA", "0432"}, {"si-LK", "045b"}, {"sk-SK", "041b"}, {"sl-SI", "0424"}, {"es-ES-ts", "040a"},
    {"es-MX", "080a"}, {"es-ES", "0c0a"}, {"es-GT", "100a"}, {"es-CR", "140a"}, {"es-PA", "180a"}, {"es-DO", "1c0a"},
    {"es-VE", "200a"}, {"es-CO", "240a"}, {"es-PE", "280a"}, {"es-AR", "2c0a"}, {"es-EC", "300a"}, {"es-CL", "340a"},
    {"es-UR", "380a"}, {"es-PY", "3c0a"}, {"es-BO", "400a"}, {"es-SV", "440a"}, {"es-HN", "480a"}, {"es-NI", "4c0a"},
    {"es-PR", "500a"}, {"es-US", "540a"}, {"sw-KE", "0441"}, {"sv-SE", "041d"}, {"sv-FI", "081d"}, {"syr-SY", "045a"},
    {"tg-TJ-Cyrl", "0428"}, {"ber-DZ", "085f"}, {"ta-IN", "0449"}, {"tt-RU", "0444"}, {"te-IN", "044a"},
    {"th-TH", "041e"}, {"bo-CN", "0451"}, {"bo-BT", "0851"}, {"tr-TR", "041f"}, {"tk-TM", "0442"}, {"ug-CN", "0480"},
    {"uk-UA", "0422"}, {"wen-DE", "042e"}, {"ur-PK", "0420"}, {"tr-IN", "0820"}, {"uz-UZ-Latn", "0443"},
    {"uz-UZ-Cyrl", "0843"}, {"vi-VN", "042a"}, {"cy-GB", "0452"}, {"wo-SN", "0488"}, {"sah-RU", "0485"},
    {"ii-CN", "0478"}, {"yo-NG", "046a"},
    // Two-letter language names.
    {"ar", "0401"}, {"be", "0423"}, {"ca", "0403"}, {"cs", "0405"}, {"da", "0406"}, {"de", "0407"}, {"el", "0408"},
    {"en", "0409"}, {"es", "0c0a"}, {"et", "0425"}, {"fi", "040b"}, {"fo", "0438"}, {"fr", "040c"}, {"hr", "041a"},
    {"hu", "040e"}, {"id", "0421"}, {"is", "040f"}, {"it", "0410"}, {"ja", "0411"}, {"kl", "046f"}, {"ko", "0412"},
    {"lt", "0427"}, {"lv", "0426"}, {"nl", "0413"}, {"pl", "0415"}, {"pt", "0816"}, {"ro", "0418"}, {"ru", "0419"},
    {"sk", "041b"}, {"sl", "0424"}, {"sv", "041d"}, {"th", "041e"}, {"tr", "041f"}, {"uk", "0422"}, {"zh", "0004"},
    // Two-letter short codes.
    {"am", "0409"}, {"ea", "0c09"}, {"br", "0809"}, {"ct", "0403"}, {"cz", "0405"}, {"fc", "0c0c"}, {"gn", "0407"},
    {"go", "0407"}, {"no", "0414"}, {"nn", "0814"}, {"pb", "0416"}, {"sp", "0c0a"}, {"sw", "041d"},
}};

constexpr std::size_t kLayoutNameLength = 8;

}  // namespace

std::span<const LayoutName> LayoutNames() { return kLayoutNames; }

std::string EightDigitLayoutName(std::string_view argument) {
  std::string_view name = Trimmed(argument);
  for (const LayoutName& row : kLayoutNames) {
    if (EqualsIgnoringAsciiCase(row.name, name)) {
      name = row.code;
      break;
    }
  }
  if (name.size() >= kLayoutNameLength) return std::string(name.substr(name.size() - kLayoutNameLength));
  return std::string(kLayoutNameLength - name.size(), '0') + std::string(name);
}

}  // namespace kvl
