// Head insertion: the first closing head form present is the one replaced,
// every occurrence of it, and the page grows by exactly the code per tag.
#include "fuzz_input.h"
#include "tools/text_edits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const bool utf16 = in.byte() & 1;
  const QString code = textOf(in.piece(128), utf16);
  const QString page = textOf(in.rest(), utf16);

  const std::optional<QString> result = textedits::insertHeadCode(page, code);
  QString form;
  for (const char* tag : {"</Head>", "</HEAD>", "</head>"})
    if (page.contains(QLatin1String(tag))) {
      form = QLatin1String(tag);
      break;
    }
  FUZZ_CHECK(result.has_value() == !form.isEmpty());
  if (!result) return 0;
  const qsizetype tags = occurrences(page, form);
  FUZZ_CHECK(result->size() == page.size() + tags * code.size());
  FUZZ_CHECK(*result == QString(page).replace(form, code + QStringLiteral("</head>")));
  if (code.isEmpty() && form == u"</head>") FUZZ_CHECK(*result == page);
  return 0;
}
