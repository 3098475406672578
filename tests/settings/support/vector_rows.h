#pragma once

#include "settings/account_editor_rules.h"

#include <cstddef>
#include <vector>

namespace pigeonet::testing {

// The account list as a plain vector, for the editor's rules and windows without the settings dialog.
class VectorRows final : public AccountRows {
  public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    Account RowAt(int index) const override { return rows.at(static_cast<std::size_t>(index)); }
    void AppendRow(const Account& account) override { rows.push_back(account); }
    void ReplaceRow(int index, const Account& account) override { rows.at(static_cast<std::size_t>(index)) = account; }

    std::vector<Account> rows;
};

}  // namespace pigeonet::testing
