// The grid base for data: one row per record of the dataset's buffer window,
// one column per visible field, titles in the fixed top row and the record
// indicator in the fixed left column. It is the peer bench_grid measures
// the published data grid against.
#pragma once

#include "data/data_source.h"
#include "platform/gui/grids.h"

#include <string>
#include <vector>

namespace db {

class TCustomDBGrid : public gui::TCustomGrid {
public:
    explicit TCustomDBGrid(gui::TComponent* AOwner);
    ~TCustomDBGrid() override;

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    bool ReadOnly = false;

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const { return fields_.at(index); }
    // The field of the current column, or nullptr.
    TField* SelectedField() const;
    int SelectedIndex() const { return Col() - FixedCols(); }
    void SetSelectedIndex(int index);
    // The text a cell shows: a title, an indicator or the field's display text.
    std::string CellText(int ACol, int ARow);

    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    bool CanEditModify() override;

protected:
    void DrawCell(int ACol, int ARow, gui::TRect ARect, gui::TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    bool CanEditShow() override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Resize() override;

private:
    class Link : public TDataLink {
    public:
        explicit Link(TCustomDBGrid* g) : grid_(g) {}
    protected:
        void ActiveChanged() override { grid_->LinkActive(); }
        void DataSetChanged() override { grid_->UpdateRows(); }
        void DataSetScrolled(int) override { grid_->UpdateRows(); }
        void LayoutChanged() override { grid_->LinkActive(); }
        void EditingChanged() override { grid_->InvalidateGrid(); }
        void RecordChanged(TField*) override { grid_->InvalidateRow(grid_->Row()); }
        void UpdateData() override { grid_->UpdateData(); }
    private:
        TCustomDBGrid* grid_;
    };
    void LinkActive();
    void UpdateRows();
    void CancelRow();
    void UpdateData();
    int DataRowsFit() const;
    Link link_{this};
    std::vector<TField*> fields_;
    bool updating_ = false;
    std::string pendingText_;
    int pendingCol_ = -1;
};

}  // namespace db
