#include "model.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "json/json_parse.h"
#include "platform/files.h"
#include "png.h"

namespace brelvo::sim {
namespace {

json::JsonValue failure(std::string message) {
  json::JsonObject result;
  result.insert("error", std::move(message));
  return result;
}

Model sample_model() {
  Model model{"Duplex House", "/models/duplex.ifc", {}};
  const char* storeys[] = {"Ground Floor", "First Floor"};
  int n = 0;
  auto add = [&](const char* type, const char* name, const char* storey,
                 std::map<std::string, std::string> props) {
    char id[32];
    std::snprintf(id, sizeof id, "2O2Fr$t4X7Zf8NOew3F%03d", n++);
    model.elements.push_back(Element{.id = id,
                                     .type = type,
                                     .name = name,
                                     .storey = storey,
                                     .properties = std::move(props),
                                     .color = {}});
  };
  for (const char* storey : storeys) {
    for (int i = 1; i <= 6; ++i) {
      add("IfcWall", ("Wall " + std::to_string(i)).c_str(), storey,
          {{"LoadBearing", i <= 4 ? "true" : "false"}, {"FireRating", i % 2 ? "REI60" : "REI30"}});
    }
    for (int i = 1; i <= 3; ++i)
      add("IfcDoor", ("Door " + std::to_string(i)).c_str(), storey, {{"Width", "0.9"}});
    for (int i = 1; i <= 4; ++i)
      add("IfcWindow", ("Window " + std::to_string(i)).c_str(), storey, {{"Width", "1.2"}});
    add("IfcSlab", "Floor slab", storey, {{"Thickness", "0.25"}});
  }
  add("IfcRoof", "Roof", "First Floor", {{"Pitch", "35"}});
  return model;
}

json::JsonValue id_list(const std::vector<Element*>& elements) {
  json::JsonArray ids;
  for (const Element* e : elements) ids.emplace_back(e->id);
  return ids;
}

json::JsonValue count_result(const char* key, std::size_t n) {
  json::JsonObject result;
  result.insert(key, static_cast<std::uint64_t>(n));
  return result;
}

Rgb element_color(const Element& e) {
  if (e.type == "IfcWall") return {200, 200, 190};
  if (e.type == "IfcDoor") return {150, 100, 60};
  if (e.type == "IfcWindow") return {120, 170, 220};
  if (e.type == "IfcRoof") return {170, 60, 50};
  return {130, 130, 130};
}

}  // namespace

Workspace::Workspace(ToolSettings settings) : settings_(settings) {
  models_.push_back(sample_model());
}

const std::vector<Workspace::ToolEntry>& Workspace::tools() {
  static const std::vector<ToolEntry> entries = {
      {"list_models", "List the models that are open.", R"({})", &Workspace::list_models},
      {"get_model_summary", "Count the elements of the open models by type and storey.", R"({})",
       &Workspace::model_summary},
      {"find_elements", "Find elements by IFC type, name or storey; returns their global ids.",
       R"({"type":{"type":"string"},"name":{"type":"string"},"storey":{"type":"string"},"limit":{"type":"integer"}})",
       &Workspace::find_elements},
      {"filter_elements", "Find elements whose property has a given value.",
       R"({"property":{"type":"string"},"value":{"type":"string"}})", &Workspace::filter_elements},
      {"hide_elements", "Hide elements, by ids or by type.",
       R"({"ids":{"type":"array","items":{"type":"string"}},"type":{"type":"string"}})",
       &Workspace::hide_elements},
      {"isolate_elements", "Show only the given elements, by ids or by type.",
       R"({"ids":{"type":"array","items":{"type":"string"}},"type":{"type":"string"}})",
       &Workspace::isolate_elements},
      {"select_elements", "Select elements by ids.",
       R"({"ids":{"type":"array","items":{"type":"string"}}})", &Workspace::select_elements},
      {"color_elements", "Colour elements, e.g. \"#ff0000\".",
       R"({"ids":{"type":"array","items":{"type":"string"}},"type":{"type":"string"},"color":{"type":"string"}})",
       &Workspace::color_elements},
      {"xray_elements", "Make elements see-through.",
       R"({"ids":{"type":"array","items":{"type":"string"}},"type":{"type":"string"},"enabled":{"type":"boolean"}})",
       &Workspace::xray_elements},
      {"set_section", "Cut the view with a section plane along an axis.",
       R"({"axis":{"type":"string","enum":["x","y","z"]},"offset":{"type":"number"}})",
       &Workspace::set_section},
      {"set_property", "Set a property of an element.",
       R"({"id":{"type":"string"},"name":{"type":"string"},"value":{"type":"string"}})",
       &Workspace::set_property},
      {"set_attribute", "Set the Name attribute of an element.",
       R"({"id":{"type":"string"},"name":{"type":"string"},"value":{"type":"string"}})",
       &Workspace::set_attribute},
      {"retype_element", "Change the IFC type of an element.",
       R"({"id":{"type":"string"},"type":{"type":"string"}})", &Workspace::retype_element},
      {"delete_element", "Delete an element.", R"({"id":{"type":"string"}})",
       &Workspace::delete_element},
      {"undo_edit", "Undo the last edit.", R"({})", &Workspace::undo_edit},
      {"screenshot", "An image of the current 3D view.", R"({})", &Workspace::screenshot},
      {"open_file", "Open IFC files by path.",
       R"({"paths":{"type":"array","items":{"type":"string"}},"add":{"type":"boolean"}})",
       &Workspace::open_file},
      {"echo", "Return the arguments unchanged (for tests).", R"({})", &Workspace::echo},
      {"process_info",
       "How this process runs: ids, signal dispositions and mask, open descriptors (for tests).",
       R"({})", &Workspace::process_info},
  };
  return entries;
}

json::JsonValue Workspace::catalogue() const {
  json::JsonArray list;
  for (const ToolEntry& entry : tools()) {
    json::JsonObject schema;
    schema.insert("type", "object");
    schema.insert("properties", *json::parse_json(entry.schema));
    json::JsonObject record;
    record.insert("name", entry.name);
    record.insert("description", entry.description);
    record.insert("inputSchema", std::move(schema));
    list.emplace_back(std::move(record));
  }
  return list;
}

json::JsonValue Workspace::run_tool(const std::string& tool, const json::JsonValue& args) {
  std::lock_guard lock(mutex_);
  for (const ToolEntry& entry : tools()) {
    if (tool == entry.name) return (this->*entry.tool)(args);
  }
  return failure("unknown tool: " + tool);
}

std::size_t Workspace::model_count() {
  std::lock_guard lock(mutex_);
  return models_.size();
}

std::vector<Element*> Workspace::targets(const json::JsonValue& args) {
  std::vector<Element*> found;
  const json::JsonValue* ids = args.get("ids");
  const std::string type(args.get_string("type").value_or(""));
  for (Model& model : models_) {
    for (Element& e : model.elements) {
      bool wanted = !type.empty() && e.type == type;
      if (ids && ids->is_array()) {
        for (const json::JsonValue& id : *ids->as_array()) wanted |= id.as_string() == e.id;
      }
      if (wanted) found.push_back(&e);
    }
  }
  return found;
}

Element* Workspace::element(const json::JsonValue& args) {
  const std::string id(args.get_string("id").value_or(""));
  for (Model& model : models_) {
    for (Element& e : model.elements) {
      if (e.id == id) return &e;
    }
  }
  return nullptr;
}

void Workspace::remember_for_undo(std::string what) {
  undo_stack_.emplace_back(std::move(what), models_);
}

json::JsonValue Workspace::list_models(const json::JsonValue&) {
  json::JsonArray list;
  for (const Model& model : models_) {
    json::JsonObject entry;
    entry.insert("name", model.name);
    entry.insert("path", model.path);
    entry.insert("elements", static_cast<std::uint64_t>(model.elements.size()));
    list.emplace_back(std::move(entry));
  }
  json::JsonObject result;
  result.insert("models", std::move(list));
  return result;
}

json::JsonValue Workspace::model_summary(const json::JsonValue&) {
  json::JsonObject by_type;
  json::JsonObject by_storey;
  std::uint64_t total = 0;
  for (const Model& model : models_) {
    for (const Element& e : model.elements) {
      ++total;
      for (auto [map, key] : {std::pair{&by_type, &e.type}, std::pair{&by_storey, &e.storey}}) {
        const json::JsonValue* old = map->get(*key);
        map->insert(*key, (old ? *old->as_unsigned() : 0) + 1);
      }
    }
  }
  json::JsonObject result;
  result.insert("models", static_cast<std::uint64_t>(models_.size()));
  result.insert("elements", total);
  result.insert("by_type", std::move(by_type));
  result.insert("by_storey", std::move(by_storey));
  return result;
}

json::JsonValue Workspace::find_elements(const json::JsonValue& args) {
  const std::string type(args.get_string("type").value_or("")),
      name(args.get_string("name").value_or("")), storey(args.get_string("storey").value_or(""));
  const std::uint64_t limit = args.get_unsigned("limit").value_or(100);
  std::vector<Element*> found;
  for (Model& model : models_) {
    for (Element& e : model.elements) {
      if (!type.empty() && e.type != type) continue;
      if (!name.empty() && e.name.find(name) == std::string::npos) continue;
      if (!storey.empty() && e.storey != storey) continue;
      if (found.size() < limit) found.push_back(&e);
    }
  }
  json::JsonObject result;
  result.insert("count", static_cast<std::uint64_t>(found.size()));
  result.insert("ids", id_list(found));
  return result;
}

json::JsonValue Workspace::filter_elements(const json::JsonValue& args) {
  const std::string property(args.get_string("property").value_or("")),
      value(args.get_string("value").value_or(""));
  if (property.empty()) return failure("filter_elements needs \"property\"");
  std::vector<Element*> found;
  for (Model& model : models_) {
    for (Element& e : model.elements) {
      auto it = e.properties.find(property);
      if (it != e.properties.end() && (value.empty() || it->second == value)) found.push_back(&e);
    }
  }
  json::JsonObject result;
  result.insert("count", static_cast<std::uint64_t>(found.size()));
  result.insert("ids", id_list(found));
  return result;
}

json::JsonValue Workspace::hide_elements(const json::JsonValue& args) {
  auto found = targets(args);
  for (Element* e : found) e->visible = false;
  return count_result("hidden", found.size());
}

json::JsonValue Workspace::isolate_elements(const json::JsonValue& args) {
  auto found = targets(args);
  for (Model& model : models_) {
    for (Element& e : model.elements)
      e.visible = std::find(found.begin(), found.end(), &e) != found.end();
  }
  return count_result("visible", found.size());
}

json::JsonValue Workspace::select_elements(const json::JsonValue& args) {
  auto found = targets(args);
  for (Model& model : models_) {
    for (Element& e : model.elements)
      e.selected = std::find(found.begin(), found.end(), &e) != found.end();
  }
  return count_result("selected", found.size());
}

json::JsonValue Workspace::color_elements(const json::JsonValue& args) {
  const std::string color(args.get_string("color").value_or(""));
  if (color.size() != 7 || color[0] != '#') return failure("color must look like #rrggbb");
  auto found = targets(args);
  for (Element* e : found) e->color = color;
  return count_result("colored", found.size());
}

json::JsonValue Workspace::xray_elements(const json::JsonValue& args) {
  const json::JsonValue* enabled = args.get("enabled");
  auto found = targets(args);
  for (Element* e : found) e->xray = !enabled || enabled->is_true();
  return count_result("xray", found.size());
}

json::JsonValue Workspace::set_section(const json::JsonValue& args) {
  const std::string axis(args.get_string("axis").value_or(""));
  if (axis != "x" && axis != "y" && axis != "z") return failure("axis must be x, y or z");
  json::JsonObject section;
  section.insert("axis", axis);
  section.insert("offset", args.get("offset") ? *args.get("offset") : json::JsonValue(0));
  section_ = section;
  json::JsonObject result;
  result.insert("section", section_);
  return result;
}

json::JsonValue Workspace::set_property(const json::JsonValue& args) {
  Element* e = element(args);
  if (e == nullptr)
    return failure("unknown element '" + std::string(args.get_string("id").value_or("")) + "'");
  const std::string name(args.get_string("name").value_or(""));
  if (name.empty()) return failure("set_property needs \"name\"");
  remember_for_undo("set_property " + name + " of " + e->id);
  e = element(args);
  e->properties[name] = args.get_string("value").value_or("");
  json::JsonObject result;
  result.insert("id", e->id);
  result.insert("property", name);
  result.insert("value", e->properties[name]);
  return result;
}

json::JsonValue Workspace::set_attribute(const json::JsonValue& args) {
  Element* e = element(args);
  if (e == nullptr)
    return failure("unknown element '" + std::string(args.get_string("id").value_or("")) + "'");
  if (args.get_string("name") != "Name") return failure("only the Name attribute can be set");
  remember_for_undo("set_attribute Name of " + e->id);
  e = element(args);
  e->name = args.get_string("value").value_or("");
  json::JsonObject result;
  result.insert("id", e->id);
  result.insert("name", e->name);
  return result;
}

json::JsonValue Workspace::retype_element(const json::JsonValue& args) {
  Element* e = element(args);
  const std::string type(args.get_string("type").value_or(""));
  if (e == nullptr)
    return failure("unknown element '" + std::string(args.get_string("id").value_or("")) + "'");
  if (!type.starts_with("Ifc")) return failure("not an IFC type: " + type);
  remember_for_undo("retype_element " + e->id);
  e = element(args);
  e->type = type;
  json::JsonObject result;
  result.insert("id", e->id);
  result.insert("type", type);
  return result;
}

json::JsonValue Workspace::delete_element(const json::JsonValue& args) {
  const std::string id(args.get_string("id").value_or(""));
  if (element(args) == nullptr) return failure("unknown element '" + id + "'");
  remember_for_undo("delete_element " + id);
  for (Model& model : models_)
    std::erase_if(model.elements, [&](const Element& e) { return e.id == id; });
  return count_result("deleted", 1);
}

json::JsonValue Workspace::undo_edit(const json::JsonValue&) {
  if (undo_stack_.empty()) return failure("nothing to undo");
  models_ = std::move(undo_stack_.back().second);
  json::JsonObject result;
  result.insert("undone", std::move(undo_stack_.back().first));
  undo_stack_.pop_back();
  return result;
}

json::JsonValue Workspace::screenshot(const json::JsonValue&) {
  std::uint32_t width = 320, height = 200;
  if (settings_.screenshot_bytes > 0) {
    // Stored blocks: about three bytes a pixel.
    width = 1024;
    height = static_cast<std::uint32_t>(
        std::max<std::size_t>(1, settings_.screenshot_bytes / (width * 3 + 1)));
  }
  Image image(width, height, {235, 240, 245});
  std::int64_t x = 8;
  for (const Model& model : models_) {
    for (const Element& e : model.elements) {
      if (!e.visible) continue;
      const std::int64_t h =
          e.type == "IfcSlab" ? 8 : 40 + static_cast<std::int64_t>(e.name.size()) * 3;
      image.fill_rect(x % (width - 20), height - h - 10 - (e.storey == "First Floor" ? 60 : 0), 14,
                      h, element_color(e));
      x += 17;
    }
  }
  json::JsonObject result;
  result.insert("imageBase64", settings_.screenshot_base64.empty()
                                   ? encode_base64(encode_png(image))
                                   : settings_.screenshot_base64);
  result.insert("mimeType", "image/png");
  result.insert("width", width);
  result.insert("height", height);
  return result;
}

json::JsonValue Workspace::open_file(const json::JsonValue& args) {
  const json::JsonValue* paths = args.get("paths");
  if (!paths || !paths->is_array()) return failure("open_file needs \"paths\"");
  std::vector<Model> opened;
  for (const json::JsonValue& path : *paths->as_array()) {
    const std::string text(path.as_string().value_or(""));
    if (!platform::names_regular_file(text)) return failure("file not found: " + text);
    Model model = sample_model();
    model.name = std::filesystem::path(text).stem().string();
    model.path = text;
    opened.push_back(std::move(model));
  }
  if (!args.get("add") || !args.get("add")->is_true()) models_.clear();
  json::JsonArray names;
  for (Model& model : opened) {
    names.emplace_back(model.path);
    models_.push_back(std::move(model));
  }
  json::JsonObject result;
  result.insert("opened", std::move(names));
  result.insert("models", static_cast<std::uint64_t>(models_.size()));
  return result;
}

json::JsonValue Workspace::echo(const json::JsonValue& args) {
  if (settings_.answer_bytes == 0) return args;
  json::JsonObject result;
  result.insert("args", args);
  result.insert("padding", std::string(settings_.answer_bytes, 'x'));
  return result;
}

json::JsonValue Workspace::process_info(const json::JsonValue&) {
  json::JsonArray blocked;
  for (int sig : settings_.startup.blocked_signals) blocked.emplace_back(sig);
  json::JsonObject result;
  result.insert("pid", static_cast<std::int64_t>(::getpid()));
  result.insert("sid", static_cast<std::int64_t>(::getsid(0)));
  result.insert("pgid", static_cast<std::int64_t>(::getpgrp()));
  result.insert("sigpipe", settings_.startup.sigpipe_ignored ? "ignored" : "default");
  result.insert("blocked_signals", std::move(blocked));
  json::JsonArray descriptors;
  for (int fd : settings_.startup.open_descriptors) descriptors.emplace_back(fd);
  result.insert("open_descriptors", std::move(descriptors));
  return result;
}

}  // namespace brelvo::sim
