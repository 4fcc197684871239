// A small in-memory building model and the tools that act on it, so that the
// answers the simulator gives mean something.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "json/json_value.h"

namespace brelvo::sim {

struct Element {
  std::string id;
  std::string type;
  std::string name;
  std::string storey;
  std::map<std::string, std::string> properties;
  bool visible = true;
  bool selected = false;
  bool xray = false;
  std::string color;
};

struct Model {
  std::string name;
  std::string path;
  std::vector<Element> elements;
};

// How the process was started, captured before the simulator changes its
// own signal handling; process_info reports it.
struct StartupState {
  bool sigpipe_ignored = false;
  std::vector<int> blocked_signals;
  std::vector<int> open_descriptors;
};

struct ToolSettings {
  std::size_t answer_bytes = 0;      // echo results padded to about this size
  std::size_t screenshot_bytes = 0;  // screenshots of about this size
  std::string screenshot_base64;     // replaces the image text when set
  StartupState startup;
};

// The application's state; every tool call takes the lock.
class Workspace {
 public:
  explicit Workspace(ToolSettings settings);

  json::JsonValue catalogue() const;
  // A tool's result: failures are results with an "error" member.
  json::JsonValue run_tool(const std::string& tool, const json::JsonValue& args);
  std::size_t model_count();

 private:
  using Tool = json::JsonValue (Workspace::*)(const json::JsonValue&);
  struct ToolEntry {
    const char* name;
    const char* description;
    const char* schema;
    Tool tool;
  };
  static const std::vector<ToolEntry>& tools();

  json::JsonValue list_models(const json::JsonValue&);
  json::JsonValue model_summary(const json::JsonValue&);
  json::JsonValue find_elements(const json::JsonValue& args);
  json::JsonValue filter_elements(const json::JsonValue& args);
  json::JsonValue hide_elements(const json::JsonValue& args);
  json::JsonValue isolate_elements(const json::JsonValue& args);
  json::JsonValue select_elements(const json::JsonValue& args);
  json::JsonValue color_elements(const json::JsonValue& args);
  json::JsonValue xray_elements(const json::JsonValue& args);
  json::JsonValue set_section(const json::JsonValue& args);
  json::JsonValue set_property(const json::JsonValue& args);
  json::JsonValue set_attribute(const json::JsonValue& args);
  json::JsonValue retype_element(const json::JsonValue& args);
  json::JsonValue delete_element(const json::JsonValue& args);
  json::JsonValue undo_edit(const json::JsonValue&);
  json::JsonValue screenshot(const json::JsonValue&);
  json::JsonValue open_file(const json::JsonValue& args);
  json::JsonValue echo(const json::JsonValue& args);
  json::JsonValue process_info(const json::JsonValue&);

  // The elements an action applies to: "ids", else every element of "type".
  std::vector<Element*> targets(const json::JsonValue& args);
  Element* element(const json::JsonValue& args);
  void remember_for_undo(std::string what);

  ToolSettings settings_;
  std::mutex mutex_;
  std::vector<Model> models_;
  std::vector<std::pair<std::string, std::vector<Model>>> undo_stack_;
  json::JsonValue section_;
};

}  // namespace brelvo::sim
