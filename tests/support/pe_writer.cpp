#include "support/pe_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace vermilax::test {
namespace {

uint64_t RoundUp(uint64_t value, uint64_t alignment) {
  if (alignment == 0 || value % alignment == 0) return value;
  return (value / alignment + 1) * alignment;
}

// Little-endian stores into a growable byte string.
void Put16(std::string& out, size_t at, uint16_t v) {
  if (out.size() < at + 2) out.resize(at + 2, '\0');
  out[at] = char(v & 0xFF);
  out[at + 1] = char(v >> 8);
}
void Put32(std::string& out, size_t at, uint32_t v) {
  Put16(out, at, uint16_t(v & 0xFFFF));
  Put16(out, at + 2, uint16_t(v >> 16));
}
void Put64(std::string& out, size_t at, uint64_t v) {
  Put32(out, at, uint32_t(v));
  Put32(out, at + 4, uint32_t(v >> 32));
}
void PutBytes(std::string& out, size_t at, const std::string& bytes) {
  if (out.size() < at + bytes.size()) out.resize(at + bytes.size(), '\0');
  std::memcpy(out.data() + at, bytes.data(), bytes.size());
}
// Appends a zero-terminated text and pads to an even length.
size_t AppendText(std::string& out, const std::string& text, bool evenPad) {
  size_t at = out.size();
  out += text;
  out += '\0';
  if (evenPad && out.size() % 2) out += '\0';
  return at;
}

std::string Pattern(size_t size, uint8_t seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char(uint8_t(seed + i * 13 + (i >> 7)));
  return bytes;
}

// --- generated sections --------------------------------------------------------

std::string BuildImports(const std::vector<PeImportModule>& modules, uint32_t va, bool pe32plus) {
  const size_t thunk = pe32plus ? 8 : 4;
  std::string out((modules.size() + 1) * 20, '\0');
  std::vector<size_t> lookup(modules.size()), address(modules.size());
  for (size_t m = 0; m < modules.size(); ++m) {
    size_t table = (modules[m].functions.size() + 1) * thunk;
    lookup[m] = out.size();
    out.resize(out.size() + table, '\0');
    address[m] = out.size();
    out.resize(out.size() + table, '\0');
  }
  for (size_t m = 0; m < modules.size(); ++m) {
    const PeImportModule& module = modules[m];
    for (size_t f = 0; f < module.functions.size(); ++f) {
      const PeImportFunction& fn = module.functions[f];
      uint64_t value;
      if (fn.name.empty()) {
        value = (pe32plus ? (uint64_t(1) << 63) : uint64_t(0x80000000u)) | fn.ordinal;
      } else {
        size_t at = out.size();
        out += std::string(2, '\0');
        Put16(out, at, fn.hint);
        AppendText(out, fn.name, true);
        value = va + at;
      }
      for (size_t table : {lookup[m], address[m]}) {
        if (pe32plus) Put64(out, table + f * thunk, value);
        else Put32(out, table + f * thunk, uint32_t(value));
      }
    }
    size_t name_at = AppendText(out, module.name, true);
    size_t d = m * 20;
    Put32(out, d + 0, module.without_original_first_thunk ? 0 : uint32_t(va + lookup[m]));
    Put32(out, d + 12, uint32_t(va + name_at));
    Put32(out, d + 16, uint32_t(va + address[m]));
  }
  return out;
}

std::string BuildExports(const PeExportTable& table, uint32_t va) {
  const size_t n = table.functions.size();
  std::string out(40, '\0');
  size_t functions = out.size();
  out.resize(out.size() + 4 * n, '\0');
  size_t names = out.size();
  out.resize(out.size() + 4 * n, '\0');
  size_t ordinals = out.size();
  out.resize(out.size() + 2 * n + (n % 2 ? 2 : 0), '\0');
  for (size_t d = 0; d < n; ++d) {
    const PeExportFunction& fn = table.functions[d];
    Put32(out, functions + 4 * d, fn.address);
    Put32(out, names + 4 * d, uint32_t(va + AppendText(out, fn.name, false)));
    Put16(out, ordinals + 2 * d, fn.ordinal_index.value_or(uint16_t(d)));
  }
  size_t dll = AppendText(out, table.dll_name, false);
  Put32(out, 0, table.characteristics);
  Put32(out, 12, uint32_t(va + dll));
  Put32(out, 16, table.base);
  Put32(out, 20, table.number_of_functions.value_or(uint32_t(n)));
  Put32(out, 24, table.number_of_names.value_or(uint32_t(n)));
  Put32(out, 28, uint32_t(va + functions));
  Put32(out, 32, uint32_t(va + names));
  Put32(out, 36, uint32_t(va + ordinals));
  return out;
}

// Resource keys sort as the format wants: named entries first, then IDs ascending.
struct KeyOrder {
  bool operator()(const ResourceKey& a, const ResourceKey& b) const {
    if (a.index() != b.index()) return a.index() > b.index();
    return a < b;
  }
};

std::string BuildResources(const std::vector<PeResource>& resources, uint32_t va) {
  using Languages = std::map<uint16_t, const std::string*>;
  using Names = std::map<ResourceKey, Languages, KeyOrder>;
  std::map<ResourceKey, Names, KeyOrder> tree;
  for (const PeResource& r : resources) tree[r.type][r.name][r.language] = &r.data;

  struct Pending {
    size_t entry;  // where the directory entry's name word lives
    std::string name;
  };
  std::vector<Pending> names_to_write;
  std::vector<std::pair<size_t, const std::string*>> data_entries;  // entry word to patch, data

  std::string out;
  auto directory = [&](size_t named, size_t ids) {
    size_t at = out.size();
    out.resize(at + 16 + 8 * (named + ids), '\0');
    Put16(out, at + 12, uint16_t(named));
    Put16(out, at + 14, uint16_t(ids));
    return at;
  };
  auto count_named = [](const auto& map) {
    return size_t(std::count_if(map.begin(), map.end(), [](const auto& kv) { return kv.first.index() == 1; }));
  };
  auto set_key = [&](size_t entry, const ResourceKey& key) {
    if (key.index() == 0) Put32(out, entry, std::get<uint32_t>(key));
    else names_to_write.push_back({entry, std::get<std::string>(key)});
  };

  // Directories breadth first, then name strings, data entries and data.
  size_t root = directory(count_named(tree), tree.size() - count_named(tree));
  size_t t = 0;
  std::vector<std::pair<size_t, const Names*>> type_dirs;
  for (const auto& [type, names] : tree) {
    size_t entry = root + 16 + 8 * t++;
    set_key(entry, type);
    size_t dir = directory(count_named(names), names.size() - count_named(names));
    Put32(out, entry + 4, 0x80000000u | uint32_t(dir));
    type_dirs.push_back({dir, &names});
  }
  for (const auto& [dir, names] : type_dirs) {
    size_t n = 0;
    for (const auto& [name, languages] : *names) {
      size_t entry = dir + 16 + 8 * n++;
      set_key(entry, name);
      size_t sub = directory(0, languages.size());
      Put32(out, entry + 4, 0x80000000u | uint32_t(sub));
      size_t l = 0;
      for (const auto& [language, data] : languages) {
        size_t leaf = sub + 16 + 8 * l++;
        Put32(out, leaf, language);
        data_entries.push_back({leaf + 4, data});
      }
    }
  }
  for (const Pending& p : names_to_write) {
    size_t at = out.size();
    Put16(out, at, uint16_t(p.name.size()));
    for (size_t i = 0; i < p.name.size(); ++i) Put16(out, at + 2 + 2 * i, uint8_t(p.name[i]));
    Put32(out, p.entry, 0x80000000u | uint32_t(at));
  }
  out.resize(RoundUp(out.size(), 4), '\0');
  std::vector<size_t> entry_at;
  for (auto& [word, data] : data_entries) {
    size_t at = out.size();
    out.resize(at + 16, '\0');
    Put32(out, word, uint32_t(at));
    entry_at.push_back(at);
  }
  for (size_t i = 0; i < data_entries.size(); ++i) {
    size_t at = out.size();
    out += *data_entries[i].second;
    out.resize(RoundUp(out.size(), 4), '\0');
    Put32(out, entry_at[i], uint32_t(va + at));
    Put32(out, entry_at[i] + 4, uint32_t(data_entries[i].second->size()));
  }
  return out;
}

// Final header values of one section.
struct Placed {
  const PeSection* section;
  std::string data;
  uint32_t va, vsize, raw_pointer, raw_size;
};

}  // namespace

PeBuilder::PeBuilder() {
  PeSection text;
  text.name = ".text";
  text.data = std::string(1, '\xC3') + Pattern(0x1FF, 0x11);
  PeSection data;
  data.name = ".data";
  data.data = Pattern(0x180, 0x5A);
  data.characteristics = 0xC0000040;
  sections = {text, data};
}

BuiltPe PeBuilder::BuildWithLayout() const {
  std::vector<PeSection> all = sections;
  enum { kImports = 1, kExports, kResources };
  std::vector<int> generated(all.size(), 0);
  auto add_generated = [&](const char* name, int kind, uint32_t characteristics) {
    PeSection s;
    s.name = name;
    s.characteristics = characteristics;
    all.push_back(s);
    generated.push_back(kind);
  };
  if (!imports.empty()) add_generated(".idata", kImports, 0xC0000040);
  if (exports) add_generated(".edata", kExports, 0x40000040);
  if (!resources.empty()) add_generated(".rsrc", kResources, 0x40000040);

  auto generate = [&](int kind, uint32_t va) -> std::string {
    switch (kind) {
      case kImports: return BuildImports(imports, va, pe32plus);
      case kExports: return BuildExports(*exports, va);
      case kResources: return BuildResources(resources, va);
      default: return {};
    }
  };

  BuiltPe built;
  const uint16_t standard_optional = pe32plus ? 240 : 224;
  const uint16_t declared_optional = size_of_optional_header.value_or(standard_optional);
  const uint32_t pe_at = new_header_offset == 0 ? 0x40 : new_header_offset;
  built.section_table_offset = pe_at + 24 + std::max(declared_optional, standard_optional);
  const uint32_t headers_end = built.section_table_offset + 40 * uint32_t(all.size());
  built.size_of_headers = size_of_headers.value_or(uint32_t(RoundUp(headers_end, file_alignment)));

  // Place the sections: addresses first, then raw positions.
  std::vector<Placed> placed;
  uint64_t next_va = RoundUp(built.size_of_headers, section_alignment);
  uint64_t next_raw = RoundUp(std::max(headers_end, built.size_of_headers), file_alignment);
  for (size_t i = 0; i < all.size(); ++i) {
    const PeSection& s = all[i];
    Placed p{&s, s.data, 0, 0, 0, 0};
    p.va = s.virtual_address.value_or(uint32_t(next_va));
    if (generated[i]) p.data = generate(generated[i], p.va);
    if (i == 0 && !entry_point && !entry_point_bytes.empty() && p.data.size() < entry_point_bytes.size())
      p.data.resize(entry_point_bytes.size(), '\0');
    if (i == 0 && !entry_point) PutBytes(p.data, 0, entry_point_bytes);
    p.vsize = s.virtual_size.value_or(uint32_t(p.data.size()));
    p.raw_size = s.raw_size.value_or(uint32_t(RoundUp(p.data.size(), file_alignment)));
    p.raw_pointer = s.raw_pointer.value_or(p.raw_size == 0 ? 0 : uint32_t(next_raw));
    if (!s.raw_pointer && p.raw_size != 0) next_raw = RoundUp(next_raw + p.raw_size, file_alignment);
    next_va = uint64_t(p.va) + RoundUp(p.vsize != 0 ? p.vsize : p.raw_size, section_alignment);
    placed.push_back(std::move(p));
  }
  built.entry_point = entry_point.value_or(placed.empty() ? 0 : placed[0].va);
  if (entry_point && !entry_point_bytes.empty()) {
    for (Placed& p : placed) {
      if (built.entry_point >= p.va && built.entry_point - p.va + entry_point_bytes.size() <= p.data.size()) {
        PutBytes(p.data, built.entry_point - p.va, entry_point_bytes);
        break;
      }
    }
  }

  std::string& out = built.bytes;
  out.assign(built.size_of_headers, '\0');
  // DOS header and a short stub text.
  PutBytes(out, 0, dos_magic);
  Put16(out, 2, 0x90);
  Put16(out, 4, 3);
  Put16(out, 8, 4);
  Put16(out, 24, 0x40);
  Put32(out, 60, new_header_offset);
  PutBytes(out, 0x40, "Test program.\r\n$");
  if (new_header_offset == 0) {
    out.resize(std::max<size_t>(out.size(), 0x80));
    return built;
  }

  PutBytes(out, pe_at, signature);
  Put16(out, pe_at + 4, machine);
  Put16(out, pe_at + 6, number_of_sections.value_or(uint16_t(all.size())));
  Put16(out, pe_at + 20, declared_optional);
  Put16(out, pe_at + 22, characteristics);

  const size_t opt = pe_at + 24;
  uint64_t image_end = RoundUp(built.size_of_headers, section_alignment);
  for (const Placed& p : placed)
    image_end = std::max<uint64_t>(image_end, RoundUp(uint64_t(p.va) + std::max(p.vsize, p.raw_size), section_alignment));
  Put16(out, opt + 0, magic.value_or(pe32plus ? 0x20B : 0x10B));
  out[opt + 2] = 9;  // linker version
  Put32(out, opt + 4, placed.empty() ? 0 : placed[0].raw_size);
  Put32(out, opt + 16, built.entry_point);
  Put32(out, opt + 20, placed.empty() ? 0 : placed[0].va);
  if (pe32plus) {
    Put64(out, opt + 24, image_base);
  } else {
    Put32(out, opt + 24, placed.size() > 1 ? placed[1].va : 0);
    Put32(out, opt + 28, uint32_t(image_base));
  }
  Put32(out, opt + 32, section_alignment);
  Put32(out, opt + 36, file_alignment);
  Put16(out, opt + 40, 5);  // operating system version
  Put16(out, opt + 48, 5);  // subsystem version
  Put32(out, opt + 56, uint32_t(image_end));
  Put32(out, opt + 60, built.size_of_headers);
  Put16(out, opt + 68, subsystem);
  const size_t stack = opt + 72;
  if (pe32plus) {
    Put64(out, stack, 0x100000);
    Put64(out, stack + 8, 0x1000);
    Put64(out, stack + 16, 0x100000);
    Put64(out, stack + 24, 0x1000);
  } else {
    Put32(out, stack, 0x100000);
    Put32(out, stack + 4, 0x1000);
    Put32(out, stack + 8, 0x100000);
    Put32(out, stack + 12, 0x1000);
  }
  const size_t directories = opt + (pe32plus ? 112 : 96);
  Put32(out, directories - 4, 16);  // NumberOfRvaAndSizes
  for (size_t i = 0; i < placed.size(); ++i) {
    const int index = generated[i] == kImports ? 1 : generated[i] == kExports ? 0 : generated[i] == kResources ? 2 : -1;
    if (index < 0) continue;
    Put32(out, directories + 8 * index, placed[i].va);
    Put32(out, directories + 8 * index + 4, uint32_t(placed[i].data.size()));
  }
  for (const auto& [index, entry] : data_directories) {
    Put32(out, directories + 8 * size_t(index), entry.first);
    Put32(out, directories + 8 * size_t(index) + 4, entry.second);
  }

  for (size_t i = 0; i < placed.size(); ++i) {
    const Placed& p = placed[i];
    const size_t h = built.section_table_offset + 40 * i;
    PutBytes(out, h, p.section->name.substr(0, 8));
    Put32(out, h + 8, p.vsize);
    Put32(out, h + 12, p.va);
    Put32(out, h + 16, p.raw_size);
    Put32(out, h + 20, p.raw_pointer);
    Put32(out, h + 36, p.section->characteristics);
    built.sections.push_back({p.section->name, p.va, p.vsize, p.raw_pointer, p.raw_size});
  }
  // Raw data, each section padded to its raw size.
  for (const Placed& p : placed) {
    if (p.raw_size == 0) continue;
    std::string raw = p.data.substr(0, p.raw_size);
    raw.resize(p.raw_size, '\0');
    PutBytes(out, p.raw_pointer, raw);
  }
  out += overlay;
  return built;
}

bool PeBuilder::WriteFile(const std::string& path) const { return platform::WriteWholeFile(path, Build()); }

void AddIconGroup(PeBuilder& builder, const std::string& iconImage, uint32_t groupId, uint32_t iconId) {
  IconGroupEntry entry;
  entry.bytes_in_res = uint32_t(iconImage.size());
  entry.icon_id = uint16_t(iconId);
  builder.resources.push_back({kResourceIcon, iconId, 0x409, iconImage});
  builder.resources.push_back({kResourceGroupIcon, groupId, 0x409, IconGroupData({entry})});
}

std::string IconGroupData(const std::vector<IconGroupEntry>& entries) {
  // GRPICONDIR followed by GRPICONDIRENTRY records.
  std::string group(6 + 14 * entries.size(), '\0');
  Put16(group, 2, 1);  // type: icon
  Put16(group, 4, uint16_t(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const IconGroupEntry& e = entries[i];
    const size_t at = 6 + 14 * i;
    group[at] = char(e.width);
    group[at + 1] = char(e.height);
    group[at + 2] = char(e.colour_count);
    Put16(group, at + 4, e.planes);
    Put16(group, at + 6, e.bit_count);
    Put32(group, at + 8, e.bytes_in_res);
    Put16(group, at + 12, e.icon_id);
  }
  return group;
}

std::string ResourceSectionData(const std::vector<PeResource>& resources, uint32_t va) {
  return BuildResources(resources, va);
}

PeBuilder DosProgramBuilder() {
  PeBuilder builder;
  builder.new_header_offset = 0;
  return builder;
}

PeBuilder NeProgramBuilder() {
  PeBuilder builder;
  builder.signature = std::string("NE\x05\x0A", 4);
  return builder;
}

}  // namespace vermilax::test
