#pragma once
// While an object lives, every new OpenCV matrix fails the way an exhausted heap makes it fail: with
// OpenCV's own error, or with the standard library's (as containers inside OpenCV calls do).

#include <opencv2/core.hpp>

#include <new>

namespace reftest {

class FailingMatAllocator : public cv::MatAllocator
{
public:
    explicit FailingMatAllocator(bool standardError = false)
        : m_previous(cv::Mat::getDefaultAllocator()), m_standardError(standardError)
    {
        cv::Mat::setDefaultAllocator(this);
    }
    ~FailingMatAllocator() override { cv::Mat::setDefaultAllocator(m_previous); }
    FailingMatAllocator(const FailingMatAllocator&) = delete;
    FailingMatAllocator& operator=(const FailingMatAllocator&) = delete;

    cv::UMatData* allocate(int, const int*, int, void*, size_t*, cv::AccessFlag, cv::UMatUsageFlags) const override
    {
        if (m_standardError) {
            throw std::bad_alloc();
        }
        CV_Error(cv::Error::StsNoMem, "no memory for the matrix");
    }
    bool allocate(cv::UMatData* data, cv::AccessFlag access, cv::UMatUsageFlags usage) const override
    {
        return m_previous->allocate(data, access, usage);
    }
    void deallocate(cv::UMatData* data) const override { m_previous->deallocate(data); }

private:
    cv::MatAllocator* m_previous;
    bool m_standardError;
};

} // namespace reftest
