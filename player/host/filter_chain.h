// The filter chains of the input and the output side. Each chain ends in a
// terminal node (id 0) that forwards every method to the module itself; the
// decoder calls every method through the head.
#pragma once

#include "melvox_modules.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace melvox {

// The output module behind an output chain's terminal node.
struct module_binding {
    void* instance = nullptr;
    const module_entry* entry = nullptr;
};

// Fills every null method slot from open on with a pass-through that calls
// the same method of the next node.
void fill_pass_through(input_filter_module& table);
void fill_pass_through(output_filter_module& table);

// The terminal tables: the input one takes the decoder as its node's
// instance and reads the module from its input record; the output one takes
// a module_binding.
const input_filter_module& input_terminal_table();
const output_filter_module& output_terminal_table();

template <typename Node, typename Table>
class filter_chain {
public:
    filter_chain(const Table& terminal_table, void* terminal_instance)
    {
        terminal_.id = 0;
        terminal_.instance = terminal_instance;
        terminal_.table = terminal_table;
        head_ = &terminal_;
    }

    ~filter_chain()
    {
        for (Node* n = head_; n != &terminal_; n = n->next)
            if (n->table.delete_instance != nullptr)
                n->table.delete_instance(n->instance);
    }

    filter_chain(const filter_chain&) = delete;
    filter_chain& operator=(const filter_chain&) = delete;

    Node* head() { return head_; }
    Node* terminal() { return &terminal_; }

    // Adds a filter in front of the reference node that position names: the
    // head for -1, the node of that id for positions above 1, else (or when
    // no node has the id) the terminal node. The new id is the smallest one
    // from 1 up that no node carries. Returns the id or an error; a failed
    // filter new leaves the chain as it was.
    int add(const Table& table, int position, decoder* d)
    {
        if (table.query == nullptr || position < -1)
            return error_invalid_parameters;
        auto node = std::make_unique<Node>();
        node->id = free_id();
        node->table = table;
        fill_pass_through(node->table);
        if (node->table.new_instance != nullptr) {
            if (int r = node->table.new_instance(&node->instance, node->id, d); r < 0)
                return r;
        }
        Node* reference = &terminal_;
        if (position == -1)
            reference = head_;
        else if (position > 1)
            reference = find(position) != nullptr ? find(position) : &terminal_;
        Node* added = node.get();
        nodes_.push_back(std::move(node));
        added->next = reference;
        added->previous = reference->previous;
        if (reference->previous != nullptr)
            reference->previous->next = added;
        else
            head_ = added;
        reference->previous = added;
        return added->id;
    }

    // Removes the filter that id names: -2 the first whose name is name, -1
    // the head, 0 the one in front of the terminal node, else that id. An
    // empty name with -2 is error_invalid_parameters; no such filter (or the
    // terminal node) error_plugin_module_not_found. Returns the new head's id.
    int remove(const char* name, int id)
    {
        Node* n = nullptr;
        if (id == -2 && (name == nullptr || name[0] == '\0'))
            return error_invalid_parameters;
        if (id == -2)
            n = find_named(name);
        else if (id == -1)
            n = head_;
        else if (id == 0)
            n = terminal_.previous;
        else
            n = find(id);
        if (n == nullptr || n == &terminal_)
            return error_plugin_module_not_found;
        if (n->previous != nullptr)
            n->previous->next = n->next;
        else
            head_ = n->next;
        n->next->previous = n->previous;
        if (n->table.delete_instance != nullptr)
            n->table.delete_instance(n->instance);
        std::erase_if(nodes_, [n](const std::unique_ptr<Node>& owned) { return owned.get() == n; });
        return head_->id;
    }

    // Calls f(node) for every filter from the head, the terminal excluded.
    template <typename F>
    void for_each_filter(F f)
    {
        for (Node* n = head_; n != &terminal_; n = n->next)
            f(*n);
    }

private:
    Node* find(int id)
    {
        for (Node* n = head_; n != &terminal_; n = n->next)
            if (n->id == id)
                return n;
        return nullptr;
    }

    Node* find_named(const char* name)
    {
        for (Node* n = head_; n != &terminal_; n = n->next) {
            module_info info{};
            if (n->table.query(&info, query_module_name) >= 0 && std::strncmp(info.name, name, sizeof info.name) == 0)
                return n;
        }
        return nullptr;
    }

    int free_id() const
    {
        // Restart the scan after every bump, so that any order of ids works.
        int id = 1;
        for (const Node* n = head_; n != &terminal_;) {
            if (n->id == id) {
                ++id;
                n = head_;
            } else {
                n = n->next;
            }
        }
        return id;
    }

    Node terminal_{};
    Node* head_;
    std::vector<std::unique_ptr<Node>> nodes_;
};

using input_filter_chain = filter_chain<input_filter_node, input_filter_module>;
using output_filter_chain = filter_chain<output_filter_node, output_filter_module>;

} // namespace melvox
