// The JSON values that the document reader builds for one probe at a time: every node in one
// array, the members of objects and arrays in another, texts pointing into the document (or into
// a decoded copy when they hold escapes). Dropping a probe is cutting the arrays back, not freeing
// a tree node by node. Beside them, the JSON library's values read through the same calls.
// Internal to the probe_json library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe_core/json/probe_json.h"

namespace probejson::tree {

enum class Kind : std::uint8_t { Null, Boolean, Signed, Unsigned, Float, String, Array, Object };

struct Node {
    Kind kind = Kind::Null;
    bool boolean = false;
    std::uint32_t count = 0;  // Array, Object: how many members
    std::size_t first = 0;    // Array, Object: the first member in Tree::members
    std::string_view text;    // String: the decoded text
    union {
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue = 0;
    };
};

struct Member {
    std::string_view key;  // empty for array elements
    std::size_t node;
};

struct Tree {
    std::vector<Node> nodes;
    std::vector<Member> members;
    std::deque<std::string> decoded;  // texts that held escapes
};

// One node of a tree, read as the probe reader reads JSON values.
class Value {
  public:
    Value(const Tree& tree, std::size_t node) : tree_(&tree), node_(&tree.nodes[node]) {}

    bool isObject() const { return node_->kind == Kind::Object; }
    bool isArray() const { return node_->kind == Kind::Array; }
    bool isString() const { return node_->kind == Kind::String; }
    bool isNull() const { return node_->kind == Kind::Null; }
    bool isInteger() const { return node_->kind == Kind::Signed || isUnsigned(); }
    bool isUnsigned() const { return node_->kind == Kind::Unsigned; }
    bool isNumber() const { return isInteger() || node_->kind == Kind::Float; }

    std::int64_t asSigned() const { return node_->signedValue; }
    std::uint64_t asUnsigned() const { return node_->unsignedValue; }
    double asDouble() const {
        return node_->kind == Kind::Signed     ? static_cast<double>(node_->signedValue)
               : node_->kind == Kind::Unsigned ? static_cast<double>(node_->unsignedValue)
                                               : node_->floatValue;
    }
    std::string_view string() const { return node_->text; }

    std::size_t size() const { return node_->count; }
    Value operator[](std::size_t i) const {
        return {*tree_, tree_->members[node_->first + i].node};
    }
    template <typename F>
    void forEachMember(F&& f) const {
        for (std::size_t i = 0; i < node_->count; ++i)
            f(tree_->members[node_->first + i].key, (*this)[i]);
    }

  private:
    const Tree* tree_;
    const Node* node_;
};

// A value of the JSON library, read through the same calls as a value of the tree, so that one
// set of checks reads both.
class JsonView {
  public:
    explicit JsonView(const Json& v) : v_(&v) {}
    bool isObject() const { return v_->is_object(); }
    bool isArray() const { return v_->is_array(); }
    bool isString() const { return v_->is_string(); }
    bool isNull() const { return v_->is_null(); }
    bool isInteger() const { return v_->is_number_integer(); }
    bool isUnsigned() const { return v_->is_number_unsigned(); }
    bool isNumber() const { return v_->is_number(); }
    std::int64_t asSigned() const { return v_->get<std::int64_t>(); }
    std::uint64_t asUnsigned() const { return v_->get<std::uint64_t>(); }
    double asDouble() const { return v_->get<double>(); }
    std::string_view string() const { return v_->get_ref<const std::string&>(); }
    std::size_t size() const { return v_->size(); }
    JsonView operator[](std::size_t i) const { return JsonView((*v_)[i]); }
    template <typename F>
    void forEachMember(F&& f) const {
        for (const auto& [key, value] : v_->items()) f(std::string_view(key), JsonView(value));
    }

  private:
    const Json* v_;
};

}  // namespace probejson::tree

namespace probejson {

// probeFromJson and documentFromJson on a tree's value: the same checks, the same faults.
std::unique_ptr<StagedProbe> probeFromTree(tree::Value value, const std::string& path,
                                           std::size_t number, Problems& problems);
void documentFromTree(tree::Value document, Problems& problems);

}  // namespace probejson
