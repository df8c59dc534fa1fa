#include "engine/data_resources.h"

#include "engine/audio_index.h"
#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/radical_table.h"
#include "engine/stroke_index.h"
#include "engine/table_groups.h"
#include "engine/text_buffer.h"
#include "platform/heap.h"

namespace {

constexpr WCHAR kRecognizerNotice[] = u"Handwriting recognition by Quillet.";

// Notices of the libraries the program uses, as their licences ask; lines
// of one notice are kept together as one paragraph.
constexpr const WCHAR* kLibraryNotices[] = {
    u"FreeType font engine: portions of this software are copyright \u00A9 2022 The FreeType Project "
    u"(www.freetype.org). All rights reserved.",

    u"zlib compression library: copyright \u00A9 1995-2022 Jean-loup Gailly and Mark Adler.",

    u"Expat XML parser: copyright \u00A9 1998-2000 Thai Open Source Software Center Ltd and Clark Cooper; "
    u"copyright \u00A9 2001-2022 Expat maintainers.\n"
    u"Permission is hereby granted, free of charge, to any person obtaining a copy of this software and "
    u"associated documentation files (the \"Software\"), to deal in the Software without restriction, "
    u"including without limitation the rights to use, copy, modify, merge, publish, distribute, sublicense, "
    u"and/or sell copies of the Software, and to permit persons to whom the Software is furnished to do so, "
    u"subject to the following conditions:\n"
    u"The above copyright notice and this permission notice shall be included in all copies or substantial "
    u"portions of the Software.\n"
    u"THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT "
    u"LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO "
    u"EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER "
    u"IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR "
    u"THE USE OR OTHER DEALINGS IN THE SOFTWARE.",

    u"Tremor integer Ogg Vorbis decoder: copyright \u00A9 2002-2008 Xiph.org Foundation.\n"
    u"Redistribution and use in source and binary forms, with or without modification, are permitted provided "
    u"that the following conditions are met:\n"
    u"- Redistributions of source code must retain the above copyright notice, this list of conditions and the "
    u"following disclaimer.\n"
    u"- Redistributions in binary form must reproduce the above copyright notice, this list of conditions and "
    u"the following disclaimer in the documentation and/or other materials provided with the distribution.\n"
    u"- Neither the name of the Xiph.org Foundation nor the names of its contributors may be used to endorse or "
    u"promote products derived from this software without specific prior written permission.\n"
    u"THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS \"AS IS\" AND ANY EXPRESS OR IMPLIED "
    u"WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A "
    u"PARTICULAR PURPOSE ARE DISCLAIMED. IN NO EVENT SHALL THE FOUNDATION OR CONTRIBUTORS BE LIABLE FOR ANY "
    u"DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT LIMITED TO, "
    u"PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS INTERRUPTION) "
    u"HOWEVER CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT (INCLUDING "
    u"NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF ADVISED OF THE "
    u"POSSIBILITY OF SUCH DAMAGE.",
};

constexpr WCHAR kBlankLine[] = u"\n\n";

}  // namespace

DataResources* GetDataResources(DictEngine* engine, bool create) {
  if (!engine) return nullptr;
  if (!engine->resources && create)
    engine->resources = static_cast<DataResources*>(LocalAlloc(LPTR, sizeof(DataResources)));
  return engine->resources;
}

int LoadDataResources(DictEngine* engine) {
  if (!engine) return 1;
  FreeDataResources(engine);
  if (!GetDataResources(engine, true)) return 1;
  LoadSyllableIndexGroups(engine, engine->readers, engine->readerCount);
  if (!engine->dataOnly) {
    LoadTableGroups(engine, engine->readers, engine->readerCount);
    LoadAuxIndex(engine, engine->readers, engine->readerCount);
    LoadRadicalTable(engine, engine->readers, engine->readerCount);
  }
  return 0;
}

void FreeDataResources(DictEngine* engine) {
  if (!engine || !engine->resources) return;
  FreeTableGroups(engine);
  FreeRadicalTable(engine);
  FreeSyllableIndexGroups(engine);
  FreeAuxIndex(engine);
  LocalFree(engine->resources);
  engine->resources = nullptr;
}

int BuildCreditsText(DictEngine* engine, MemHandle* handle) {
  if (!handle) return 1;
  TextBuffer tb{};
  tb.handle = handle;
  TextBufInit(&tb);
  int failed = TextBufAppendWide(&tb, kRecognizerNotice, 0);
  if (engine) {
    for (uint32_t r = 0; r < engine->readerCount; ++r) {
      if (!engine->readers[r]) continue;
      WCHAR* notice = nullptr;
      GetDataFileTexts(engine->readers[r], nullptr, nullptr, &notice);
      if (!notice) continue;
      failed |= TextBufAppendWide(&tb, kBlankLine, 0);
      failed |= TextBufAppendWide(&tb, notice, 0);
      LocalFree(notice);
    }
  }
  failed |= TextBufAppendWide(&tb, kBlankLine, 0);
  bool first = true;
  for (const WCHAR* text : kLibraryNotices) {
    if (!first) failed |= TextBufAppendWide(&tb, kBlankLine, 0);
    failed |= TextBufAppendWide(&tb, text, 0);
    first = false;
  }
  TextBufFinish(&tb);
  return failed ? 1 : 0;
}
