#pragma once
// While an object lives, every new OpenCV matrix fails the way an exhausted heap makes it fail.

#include <opencv2/core.hpp>

namespace reftest {

class FailingMatAllocator : public cv::MatAllocator
{
public:
    FailingMatAllocator() : m_previous(cv::Mat::getDefaultAllocator()) { cv::Mat::setDefaultAllocator(this); }
    ~FailingMatAllocator() override { cv::Mat::setDefaultAllocator(m_previous); }
    FailingMatAllocator(const FailingMatAllocator&) = delete;
    FailingMatAllocator& operator=(const FailingMatAllocator&) = delete;

    cv::UMatData* allocate(int, const int*, int, void*, size_t*, cv::AccessFlag, cv::UMatUsageFlags) const override
    {
        CV_Error(cv::Error::StsNoMem, "no memory for the matrix");
    }
    bool allocate(cv::UMatData* data, cv::AccessFlag access, cv::UMatUsageFlags usage) const override
    {
        return m_previous->allocate(data, access, usage);
    }
    void deallocate(cv::UMatData* data) const override { m_previous->deallocate(data); }

private:
    cv::MatAllocator* m_previous;
};

} // namespace reftest
