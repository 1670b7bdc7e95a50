// NamedList: the engine's registry list (textures, lights, geometries, objects, brains).
//
// A doubly linked list whose insertions always go to the head, so a walk from the head
// visits entries newest first and a lookup by name finds the entry inserted last. Names
// are not owned (they usually point into the value itself) and may be null; values are
// not owned either: the list's owner destroys them.
#pragma once

#include <cstring>

template <class T>
class NamedList;

template <class T>
struct NamedListEntry {
    NamedList<T>* list = nullptr;
    NamedListEntry* previous = nullptr;
    NamedListEntry* next = nullptr;
    const char* name = nullptr;  // not owned, may be null
    T* value = nullptr;          // not owned
};

template <class T>
class NamedList {
  public:
    using Entry = NamedListEntry<T>;

    NamedList() = default;
    NamedList(const NamedList&) = delete;
    NamedList& operator=(const NamedList&) = delete;
    ~NamedList() {
        while (head != nullptr) remove(head);
    }

    // Pushes a new entry at the head and returns it.
    Entry* insert(const char* name, T* value) {
        Entry* entry = new Entry{this, nullptr, head, name, value};
        if (head != nullptr) head->previous = entry;
        head = entry;
        ++count;
        return entry;
    }

    // The first entry from the head whose name equals `name` exactly, or null.
    Entry* findEntry(const char* name) const {
        if (name == nullptr) return nullptr;
        for (Entry* e = head; e != nullptr; e = e->next) {
            if (e->name != nullptr && std::strcmp(e->name, name) == 0) return e;
        }
        return nullptr;
    }

    T* find(const char* name) const {
        Entry* e = findEntry(name);
        return e != nullptr ? e->value : nullptr;
    }

    // Unlinks and frees the entry (not its value).
    void remove(Entry* entry) {
        if (entry == nullptr || entry->list != this) return;
        if (entry->previous != nullptr) entry->previous->next = entry->next;
        if (entry->next != nullptr) entry->next->previous = entry->previous;
        if (head == entry) head = entry->next;
        --count;
        delete entry;
    }

    Entry* head = nullptr;
    int count = 0;
};
