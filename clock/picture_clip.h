#pragma once

#include "platform/controls/dispatch.h"
#include "platform/runtime/variant.h"

#include <cstdint>

// Stands in for the PictureClip control: it cuts its source picture into rows x columns equal
// cells, numbered from 0 left to right, row by row. Reached by dispatch: Picture (0, the
// default member), Rows (2), Cols (3) and GraphicCell(index) (15). The counts stay when the
// picture changes.
class PictureClip : public controls::Dispatch {
public:
    static constexpr controls::DispId kPicture = 0;
    static constexpr controls::DispId kRows = 2;
    static constexpr controls::DispId kCols = 3;
    static constexpr controls::DispId kGraphicCell = 15;

    PictureClip();

    runtime::Variant Picture() const { return m_picture; }
    void setPicture(const runtime::Variant& picture);
    std::int16_t Rows() const { return m_rows; }
    void setRows(std::int16_t rows);
    std::int16_t Cols() const { return m_cols; }
    void setCols(std::int16_t cols);
    // Cell `index` as a new picture. Raises 380 "Invalid property value" for an index outside
    // the cells, 481 "Invalid picture" without a source picture or when the cells are smaller
    // than a pixel (a picture narrower than its columns).
    runtime::Variant GraphicCell(std::int16_t index) const;

    runtime::Variant invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args) override;

private:
    controls::DispatchTable m_members;
    runtime::Variant m_picture;
    std::int16_t m_rows = 1;
    std::int16_t m_cols = 1;
};
