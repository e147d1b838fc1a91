// Parses one generated 10 MB document (10 Mi UTF-16 code units) and, where they were found at configure
// time, hands the same document to expat and libxml2 for comparison. All runs report "chars/s", the
// characters of the document per second, which compares across the encodings each parser is fed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "util/xml/xml.h"

#ifdef VORLO_BENCH_EXPAT
#include <expat.h>
#endif
#ifdef VORLO_BENCH_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif

namespace {

constexpr std::size_t kDocumentChars = 10u << 20;

// A well-formed ASCII document (so every parser accepts it) shaped like the reader's real inputs:
// external-call requests and structure descriptors, with some text, entities, comments and CDATA.
const std::string& documentAscii() {
  static const std::string document = [] {
    std::string out = "<?xml version=\"1.0\"?>\n<log>\n";
    char record[1024];
    for (unsigned i = 0; out.size() < kDocumentChars - 1024; ++i) {
      std::snprintf(record, sizeof record,
                    "  <invoke name=\"call%u\" returntype=\"xml\"><arguments>\n"
                    "    <string>text &amp; more text for item %u, &lt;quoted&gt;</string>\n"
                    "    <number>%u.25</number><true/><null/>\n"
                    "    <object><property id=\"left\"><number>%u</number></property>"
                    "<property id=\"label\"><string>R&apos;%u</string></property></object>\n"
                    "    <!-- generated record %u -->\n"
                    "    <struct name=\"S%u\" type=\"struct\"><a type=\"long\"/><b type=\"char\" "
                    "count=\"16\"/><c type=\"struct\"><d type=\"double\"/></c></struct>\n"
                    "    <![CDATA[raw <data> of record %u]]>\n"
                    "  </arguments></invoke>\n",
                    i, i, i, i * 7, i, i, i, i);
      out += record;
    }
    out += "</log>\n";
    out.append(kDocumentChars - out.size(), ' ');  // exactly 10 Mi characters
    return out;
  }();
  return document;
}

const std::u16string& documentUtf16() {
  static const std::u16string document(documentAscii().begin(), documentAscii().end());
  return document;
}

void reportSize(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(kDocumentChars),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Vorlo_Tree_Utf16(benchmark::State& state) {
  const std::u16string& text = documentUtf16();
  vorlo::XmlResult result;
  if (vorlo::XmlNode::parse(text, {}, &result).empty()) {
    state.SkipWithError("document rejected");
    return;
  }
  for (auto _ : state) {
    vorlo::XmlNode root = vorlo::XmlNode::parse(text);
    benchmark::DoNotOptimize(root);
  }
  reportSize(state, text.size() * sizeof(char16_t));
}
BENCHMARK(BM_Vorlo_Tree_Utf16)->Unit(benchmark::kMillisecond);

#ifdef VORLO_BENCH_EXPAT
// expat builds no tree; the handlers only count, so this is the floor of a streaming parse.
void BM_Expat_Stream_Utf8(benchmark::State& state) {
  const std::string& text = documentAscii();
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    std::size_t events = 0;
    XML_SetUserData(parser, &events);
    XML_SetElementHandler(
        parser, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<std::size_t*>(data); },
        [](void* data, const XML_Char*) { ++*static_cast<std::size_t*>(data); });
    XML_SetCharacterDataHandler(
        parser, [](void* data, const XML_Char*, int) { ++*static_cast<std::size_t*>(data); });
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
      state.SkipWithError(XML_ErrorString(XML_GetErrorCode(parser)));
    }
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(events);
  }
  reportSize(state, text.size());
}
BENCHMARK(BM_Expat_Stream_Utf8)->Unit(benchmark::kMillisecond);
#endif

#ifdef VORLO_BENCH_LIBXML2
void libxml2Tree(benchmark::State& state, const char* data, std::size_t size, const char* encoding) {
  for (auto _ : state) {
    xmlDocPtr document = xmlReadMemory(data, static_cast<int>(size), nullptr, encoding, XML_PARSE_HUGE);
    if (!document) {
      state.SkipWithError("libxml2 rejected the document");
      break;
    }
    xmlFreeDoc(document);
  }
  reportSize(state, size);
}

void BM_Libxml2_Tree_Utf8(benchmark::State& state) {
  const std::string& text = documentAscii();
  libxml2Tree(state, text.data(), text.size(), "UTF-8");
}
BENCHMARK(BM_Libxml2_Tree_Utf8)->Unit(benchmark::kMillisecond);

// The reader's own input form; libxml2 converts it to UTF-8 internally.
void BM_Libxml2_Tree_Utf16(benchmark::State& state) {
  const std::u16string& text = documentUtf16();
  libxml2Tree(state, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t),
              "UTF-16LE");
}
BENCHMARK(BM_Libxml2_Tree_Utf16)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
